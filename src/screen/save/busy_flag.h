#pragma once

namespace cadcons::save {

// Holds a flag set for the life of a scope, whichever way the scope is left.
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

} // namespace cadcons::save
