#pragma once

#include <QString>
#include <atomic>
#include <memory>

namespace cadcons {

class TrdmCadConsumidor;

// What outlives a call of the loaded module: the host directory, the data service (its connection, the
// lists it keeps and its prepared statements), and the guard that lets one call at a time open the
// screen. Each call's own state lives in the Registration its form holds, and goes with it.
class CadConsModule {
public:
    // The one of the loaded module: made at its first use and never destroyed, since Qt's own objects
    // (the connection's driver) may be gone by the time a static would be.
    static CadConsModule& instance();

    // Module start: records the host directory, as the module finds it when loaded.
    void start();
    // stDsDirCad: the host directory recorded at the start, with its trailing "/".
    const QString& hostDirectory() const { return stDsDirCad_; }
    // The data service, made at its first use; its connection opens at the first opening or operation.
    TrdmCadConsumidor& service();
    // Closes the service's connection; the next use opens it anew.
    void closeService();
    // Set while a call has the screen open; a second call is refused meanwhile.
    std::atomic<bool>& screenOpen() { return screenOpen_; }

private:
    CadConsModule();
    ~CadConsModule();
    QString stDsDirCad_;
    std::unique_ptr<TrdmCadConsumidor> rdmCadConsumidor_;
    std::atomic<bool> screenOpen_{false};
};

} // namespace cadcons
