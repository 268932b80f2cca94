// Test tool: looks at and changes service registrations independently of
// the launcher, so the end-to-end tests can check what it registered.
//
//   svctool.exe create NAME BINPATH      demand-start own-process service
//   svctool.exe setpath NAME BINPATH     change the command the SCM runs
//   svctool.exe qc NAME                  type=, start=, path=, deps=, display=, account=
//   svctool.exe qdesc NAME               desc= (UTF-8)
//   svctool.exe deps NAME                dep= line per DependOnService entry in the registry
//   svctool.exe query NAME               state=, exit=, specific=, checkpoint=, pid=
//   svctool.exe start NAME [ARG]...      StartServiceA with the arguments
//   svctool.exe control NAME CODE        ControlService
//   svctool.exe waitstate NAME STATE MS  exit 0 once the state is reached
//   svctool.exe delete NAME              stop if running, then delete
//   svctool.exe handles PID              handles=N, the handles the process holds
//
// Failures print "error=CODE" and exit with 2.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int fail(const char* what) {
    printf("error=%lu (%s)\n", GetLastError(), what);
    return 2;
}

SC_HANDLE openService(const char* name, DWORD access) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return nullptr;
    return OpenServiceA(manager, name, access);
}

int create(const char* name, const char* path) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return fail("OpenSCManager");
    SC_HANDLE service = CreateServiceA(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, path, nullptr, nullptr, nullptr,
                                       nullptr, nullptr);
    if (!service) return fail("CreateService");
    printf("ok\n");
    return 0;
}

int setPath(const char* name, const char* path) {
    SC_HANDLE service = openService(name, SERVICE_CHANGE_CONFIG);
    if (!service) return fail("OpenService");
    if (!ChangeServiceConfigA(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, path, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr))
        return fail("ChangeServiceConfig");
    printf("ok\n");
    return 0;
}

int queryConfig(const char* name) {
    SC_HANDLE service = openService(name, SERVICE_QUERY_CONFIG);
    if (!service) return fail("OpenService");
    DWORD needed = 0;
    QueryServiceConfigA(service, nullptr, 0, &needed);
    std::vector<unsigned long long> storage(needed / 8 + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(storage.data());
    if (!QueryServiceConfigA(service, config, static_cast<DWORD>(storage.size() * 8), &needed))
        return fail("QueryServiceConfig");
    printf("type=0x%lx\n", config->dwServiceType);
    printf("start=%lu\n", config->dwStartType);
    printf("path=%s\n", config->lpBinaryPathName ? config->lpBinaryPathName : "");
    printf("deps=");
    for (const char* p = config->lpDependencies; p && *p; p += strlen(p) + 1) printf("[%s]", p);
    printf("\n");
    printf("display=%s\n", config->lpDisplayName ? config->lpDisplayName : "");
    printf("account=%s\n", config->lpServiceStartName ? config->lpServiceStartName : "");
    return 0;
}

int queryDescription(const char* name) {
    SC_HANDLE service = openService(name, SERVICE_QUERY_CONFIG);
    if (!service) return fail("OpenService");
    DWORD needed = 0;
    QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
    std::vector<unsigned long long> storage(needed / 8 + 1);
    auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(storage.data());
    if (!QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, reinterpret_cast<BYTE*>(storage.data()),
                              static_cast<DWORD>(storage.size() * 8), &needed))
        return fail("QueryServiceConfig2");
    const wchar_t* text = description->lpDescription ? description->lpDescription : L"";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], bytes, nullptr, nullptr);
    printf("desc=%s\n", utf8.c_str());
    return 0;
}

// Read from the service's registry key: Wine's QueryServiceConfig does not
// return dependencies.
int registryDependencies(const char* name) {
    std::string key = std::string("System\\CurrentControlSet\\Services\\") + name;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return fail("RegOpenKeyEx");
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(handle, "DependOnService", nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        printf("none\n");
        return 0;
    }
    std::vector<char> data(size + 2, '\0');
    if (RegQueryValueExA(handle, "DependOnService", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return fail("RegQueryValueEx");
    RegCloseKey(handle);
    printf("type=%lu size=%lu\n", type, size);
    for (const char* p = data.data(); *p && p < data.data() + size; p += strlen(p) + 1) printf("dep=%s\n", p);
    return 0;
}

int queryStatus(const char* name) {
    SC_HANDLE service = openService(name, SERVICE_QUERY_STATUS);
    if (!service) return fail("OpenService");
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                              &needed))
        return fail("QueryServiceStatusEx");
    printf("state=%lu exit=%lu specific=%lu checkpoint=%lu pid=%lu\n", status.dwCurrentState,
           status.dwWin32ExitCode, status.dwServiceSpecificExitCode, status.dwCheckPoint, status.dwProcessId);
    return 0;
}

int start(const char* name, int argc, char** argv) {
    SC_HANDLE service = openService(name, SERVICE_START);
    if (!service) return fail("OpenService");
    // On a loaded machine Wine's SCM now and then fails to bring the service
    // process up (ERROR_INTERNAL_ERROR) before it has run anything: try again then.
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt) Sleep(300);
        started = StartServiceA(service, static_cast<DWORD>(argc), const_cast<const char**>(argv));
        if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    if (!started) return fail("StartService");
    printf("ok\n");
    return 0;
}

int control(const char* name, DWORD code) {
    SC_HANDLE service = openService(name, SERVICE_STOP | SERVICE_INTERROGATE | SERVICE_QUERY_STATUS);
    if (!service) return fail("OpenService");
    SERVICE_STATUS status = {};
    if (!ControlService(service, code, &status)) return fail("ControlService");
    printf("ok state=%lu\n", status.dwCurrentState);
    return 0;
}

int waitState(const char* name, DWORD wanted, DWORD milliseconds) {
    SC_HANDLE service = openService(name, SERVICE_QUERY_STATUS);
    if (!service) return fail("OpenService");
    DWORD start = GetTickCount();
    for (;;) {
        SERVICE_STATUS status = {};
        if (!QueryServiceStatus(service, &status)) return fail("QueryServiceStatus");
        if (status.dwCurrentState == wanted) {
            printf("ok\n");
            return 0;
        }
        if (GetTickCount() - start > milliseconds) {
            printf("timeout state=%lu\n", status.dwCurrentState);
            return 1;
        }
        Sleep(100);
    }
}

int removeService(const char* name) {
    SC_HANDLE service = openService(name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (!service) return fail("OpenService");
    SERVICE_STATUS status = {};
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        for (int i = 0; i < 100 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED;
             ++i)
            Sleep(100);
    }
    if (!DeleteService(service)) return fail("DeleteService");
    printf("ok\n");
    return 0;
}

}  // namespace

// The number of handles a process holds (the NAME argument is its id),
// from the system's handle table (NtQuerySystemInformation with
// SystemHandleInformation, which Wine keeps too; GetProcessHandleCount
// gives 0 there).
int handleCount(DWORD pid) {
    struct Entry {
        ULONG processId;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return fail("NtQuerySystemInformation");
    std::vector<unsigned long long> buffer(1 << 17);
    ULONG length = 0;
    LONG status;
    const LONG lengthMismatch = static_cast<LONG>(0xC0000004);
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size() * 8), &length)) == lengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0) {
        printf("error=0x%lx (NtQuerySystemInformation)\n", static_cast<unsigned long>(status));
        return 2;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    unsigned long count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].processId == pid) ++count;
    printf("handles=%lu\n", count);
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: svctool COMMAND NAME [...]\n");
        return 3;
    }
    std::string command = argv[1];
    const char* name = argv[2];
    if (command == "create" && argc == 4) return create(name, argv[3]);
    if (command == "setpath" && argc == 4) return setPath(name, argv[3]);
    if (command == "handles") return handleCount(static_cast<DWORD>(atol(name)));
    if (command == "qc") return queryConfig(name);
    if (command == "qdesc") return queryDescription(name);
    if (command == "deps") return registryDependencies(name);
    if (command == "query") return queryStatus(name);
    if (command == "start") return start(name, argc - 3, argv + 3);
    if (command == "control" && argc == 4) return control(name, static_cast<DWORD>(atol(argv[3])));
    if (command == "waitstate" && argc == 5)
        return waitState(name, static_cast<DWORD>(atol(argv[3])), static_cast<DWORD>(atol(argv[4])));
    if (command == "delete") return removeService(name);
    fprintf(stderr, "svctool: unknown command or arguments\n");
    return 3;
}
