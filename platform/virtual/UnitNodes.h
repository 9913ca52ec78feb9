#pragma once
// The units as the program's own file calls reach them: the one part of the virtual bus that
// differs between the systems. On Linux a plugged unit is a FIFO node in a private folder, opened
// through the program's stand-in file calls; on Windows it is a named pipe that this module
// serves in the program's process, opened with the system's CreateFile. The bus (VirtualBus.cpp)
// keeps everything else: which unit is plugged, what it answers, the log.
//
// The bus calls in here under its own lock.

#include "platform/win32/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace virtualunit {

inline constexpr int kAnnouncementsPerChange = 3;

// One plugged unit's node. Destroyed when the unit is unplugged: every handle still open on it
// then answers as unplugged, and reads pending on it end with an error.
class UnitNode {
public:
    UnitNode() = default;
    UnitNode(const UnitNode&) = delete;
    UnitNode& operator=(const UnitNode&) = delete;
    virtual ~UnitNode() = default;

    // What the setup module lists and the program opens.
    virtual const std::string& path() const = 0;
    // What NodeHost::identify names a handle of this node by.
    virtual const std::string& key() const = 0;
    // An input report for every reader. False when none could take it (their queues are full).
    virtual bool sendInput(const uint8_t* report, size_t length) = 0;
    // Drops the input reports not yet read through `handle`.
    virtual void flushInput(HANDLE handle) = 0;
};

struct HandleIdentity {
    std::string key;
    bool readWrite = false; // opened for reading and writing
};

// The nodes of one process, and the device-change announcements.
class NodeHost {
public:
    NodeHost() = default;
    NodeHost(const NodeHost&) = delete;
    NodeHost& operator=(const NodeHost&) = delete;
    virtual ~NodeHost() = default;

    // Null when the system refused the node. `unit` 0..kUnitCount-1; `devInst` is fresh for each
    // plug, unless the unit is put back keeping the one it had: its path is then the earlier
    // node's, its key never is (a handle of the earlier node answers as unplugged).
    virtual std::unique_ptr<UnitNode> plug(int unit, DWORD devInst) = 0;
    // ERROR_SUCCESS with the key of the node `handle` is open on; ERROR_DEVICE_NOT_CONNECTED for
    // a handle whose node has gone where the system no longer names it; else ERROR_INVALID_HANDLE.
    virtual int identify(HANDLE handle, HandleIdentity& out) = 0;
    // Tells the program the device nodes have changed, as the system would: Windows broadcasts
    // DBT_DEVNODES_CHANGED several times for one plug, so this announces kAnnouncementsPerChange
    // of them, and a program must still rescan once for them.
    virtual void announceChange() = 0;
};

std::unique_ptr<NodeHost> makeNodeHost();

} // namespace virtualunit
