// libSystem's process calls: signals, waiting for children (Darwin's wait options and siginfo_t), and
// posix_spawn, whose attribute and action objects are each one pointer on Darwin: to a host object
// that only these calls hand out.
#include "dyld/Bindings.hpp"
#include "dyld/Darwin.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <array>
#include <mutex>
#include <set>

namespace dyld {

namespace {

using darwin::failing;
using darwin::refuse;

int sendSignal(int pid, int signal) {
    const auto host = darwin::signalToHost(signal);
    if (!host) {
        return refuse(darwin::kEINVAL);
    }
    return failing(::kill(pid, *host));
}

int waitForChild(int pid, int* status, int options) {
    const auto host = darwin::waitOptionsToHost(options);
    if (!host) {
        return refuse(darwin::kEINVAL);
    }
    int hostStatus = 0;
    int result = 0;
    {
        Cpu::Waiting waiting;
        result = failing(::waitpid(pid, &hostStatus, *host));
    }
    if (result > 0 && status != nullptr &&
        !darwin::copyToGuest(status, darwin::waitStatusFromHost(hostStatus))) {
        return refuse(darwin::kEFAULT);
    }
    return result;
}

// waitid's id types, and the codes that say how a child changed, are numbered alike.
static_assert(__DARWIN_P_ALL == P_ALL && __DARWIN_P_PID == P_PID && __DARWIN_P_PGID == P_PGID);
static_assert(__DARWIN_CLD_EXITED == CLD_EXITED && __DARWIN_CLD_KILLED == CLD_KILLED &&
              __DARWIN_CLD_DUMPED == CLD_DUMPED && __DARWIN_CLD_TRAPPED == CLD_TRAPPED &&
              __DARWIN_CLD_STOPPED == CLD_STOPPED && __DARWIN_CLD_CONTINUED == CLD_CONTINUED);

int waitForState(int type, unsigned id, void* into, int options) {
    const auto host = darwin::waitOptionsToHost(options);
    if (!host || type < __DARWIN_P_ALL || type > __DARWIN_P_PGID) {
        return refuse(darwin::kEINVAL);
    }
    siginfo_t info{};
    int result = 0;
    {
        Cpu::Waiting waiting;
        result = failing(::waitid(static_cast<idtype_t>(type), id, &info, *host));
    }
    if (result != 0 || into == nullptr) {
        return result;
    }
    darwin::Siginfo out{};
    // With WNOHANG and no child ready, nothing is reported: the process id stays 0.
    if (info.si_pid != 0) {
        out.guest_signo = darwin::signalFromHost(info.si_signo).value_or(0);
        out.guest_code = info.si_code;
        out.guest_pid = info.si_pid;
        out.guest_uid = info.si_uid;
        out.guest_status = info.si_code == CLD_EXITED
                               ? info.si_status
                               : darwin::signalFromHost(info.si_status).value_or(info.si_status);
    }
    return darwin::copyToGuest(into, out) ? 0 : refuse(darwin::kEFAULT);
}

// The live objects of one kind: a pointer guest code passes is used only if these calls made it.
template <class T> class Handles {
  public:
    int make(void** handle, int (*init)(T*), int (*finish)(T*)) {
        auto* made = new T;
        if (const int error = init(made); error != 0) {
            delete made;
            return darwin::errorFromHost(error);
        }
        if (!darwin::copyToGuest(handle, made)) {
            finish(made);
            delete made;
            return darwin::kEFAULT;
        }
        std::lock_guard<std::mutex> hold(lock_);
        live_.insert(made);
        return 0;
    }
    T* find(void* const* handle) {
        void* given = nullptr;
        if (!darwin::copyFromGuest(given, handle)) {
            return nullptr;
        }
        std::lock_guard<std::mutex> hold(lock_);
        auto it = live_.find(static_cast<T*>(given));
        return it == live_.end() ? nullptr : *it;
    }
    int destroy(void** handle, int (*finish)(T*)) {
        void* given = nullptr;
        if (!darwin::copyFromGuest(given, handle)) {
            return darwin::kEINVAL;
        }
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (live_.erase(static_cast<T*>(given)) == 0) {
                return darwin::kEINVAL;
            }
        }
        auto* found = static_cast<T*>(given);
        finish(found);
        delete found;
        darwin::copyToGuest(handle, static_cast<void*>(nullptr));
        return 0;
    }

  private:
    std::mutex lock_;
    std::set<T*> live_;
};

Handles<posix_spawn_file_actions_t>& fileActions() {
    static auto* const handles = new Handles<posix_spawn_file_actions_t>();
    return *handles;
}
Handles<posix_spawnattr_t>& attributes() {
    static auto* const handles = new Handles<posix_spawnattr_t>();
    return *handles;
}

int initActions(void** handle) {
    return fileActions().make(handle, posix_spawn_file_actions_init, posix_spawn_file_actions_destroy);
}
int destroyActions(void** handle) { return fileActions().destroy(handle, posix_spawn_file_actions_destroy); }
int addOpen(void** handle, int fd, const char* path, int flags, unsigned short mode) {
    auto* actions = fileActions().find(handle);
    const auto hostFlags = darwin::openFlagsToHost(flags);
    if (actions == nullptr || !hostFlags || path == nullptr) {
        return darwin::kEINVAL;
    }
    darwin::requireString("posix_spawn_file_actions_addopen", path, "a path");
    return darwin::errorFromHost(
        posix_spawn_file_actions_addopen(actions, fd, path, *hostFlags, mode & 07777));
}
int addDup2(void** handle, int fd, int to) {
    auto* actions = fileActions().find(handle);
    if (actions == nullptr) {
        return darwin::kEINVAL;
    }
    return darwin::errorFromHost(posix_spawn_file_actions_adddup2(actions, fd, to));
}

int initAttributes(void** handle) {
    return attributes().make(handle, posix_spawnattr_init, posix_spawnattr_destroy);
}
int destroyAttributes(void** handle) { return attributes().destroy(handle, posix_spawnattr_destroy); }
int setFlags(void** handle, short flags) {
    auto* found = attributes().find(handle);
    const auto host = darwin::spawnFlagsToHost(flags);
    if (found == nullptr || !host) {
        return darwin::kEINVAL;
    }
    return darwin::errorFromHost(posix_spawnattr_setflags(found, *host));
}
int setGroup(void** handle, int group) {
    auto* found = attributes().find(handle);
    if (found == nullptr) {
        return darwin::kEINVAL;
    }
    return darwin::errorFromHost(posix_spawnattr_setpgroup(found, group));
}

// Whether a null-terminated list of strings (argv, envp) can be read whole.
bool readableStrings(char* const* list) {
    constexpr std::size_t kLongest = 1u << 16;
    for (std::size_t i = 0; i < kLongest; ++i) {
        const char* entry = nullptr;
        if (!darwin::copyFromGuest(entry, list + i)) {
            return false;
        }
        if (entry == nullptr) {
            return true;
        }
        if (!darwin::stringLengthInGuest(entry)) {
            return false;
        }
    }
    return false;
}

// Like the calls above, posix_spawn returns an error number rather than setting errno. It is a system
// call on Darwin: memory it cannot read is EFAULT.
int spawn(int* pid, const char* path, void* const* actionsHandle, void* const* attributesHandle,
          char* const* argv, char* const* envp) {
    const posix_spawn_file_actions_t* actions = nullptr;
    const posix_spawnattr_t* attrs = nullptr;
    if (actionsHandle != nullptr && (actions = fileActions().find(actionsHandle)) == nullptr) {
        return darwin::kEINVAL;
    }
    if (attributesHandle != nullptr && (attrs = attributes().find(attributesHandle)) == nullptr) {
        return darwin::kEINVAL;
    }
    if (path == nullptr || argv == nullptr || !darwin::stringLengthInGuest(path) || !readableStrings(argv) ||
        (envp != nullptr && !readableStrings(envp))) {
        return darwin::kEFAULT;
    }
    pid_t child = 0;
    const int error = posix_spawn(&child, path, actions, attrs, argv, envp);
    if (error == 0 && pid != nullptr && !darwin::copyToGuest(pid, child)) {
        return darwin::kEFAULT;
    }
    return darwin::errorFromHost(error);
}

const std::array bindings{
    Binding{"_kill", call<sendSignal>},
    Binding{"_waitpid", call<waitForChild>},
    Binding{"_waitid", call<waitForState>},
    Binding{"_posix_spawn", call<spawn>},
    Binding{"_posix_spawn_file_actions_init", call<initActions>},
    Binding{"_posix_spawn_file_actions_destroy", call<destroyActions>},
    Binding{"_posix_spawn_file_actions_addopen", call<addOpen>},
    Binding{"_posix_spawn_file_actions_adddup2", call<addDup2>},
    Binding{"_posix_spawnattr_init", call<initAttributes>},
    Binding{"_posix_spawnattr_destroy", call<destroyAttributes>},
    Binding{"_posix_spawnattr_setflags", call<setFlags>},
    Binding{"_posix_spawnattr_setpgroup", call<setGroup>},
};

} // namespace

std::span<const Binding> libSystem::processes() { return bindings; }

} // namespace dyld
