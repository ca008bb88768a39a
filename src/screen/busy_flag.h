#pragma once

namespace cadcons {

// Holds a flag set for the life of a scope, whichever way the scope is left: the form uses it to
// refuse a second capture, confirm or web look-up started from inside a wait.
class BusyFlag {
public:
    explicit BusyFlag(bool& flag)
        : flag_(flag) {
        flag_ = true;
    }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& flag_;
};

} // namespace cadcons
