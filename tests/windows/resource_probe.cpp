// resource_probe.exe PROGRAM.exe: what Windows reads from a program's
// resources, through the calls Windows itself makes (an activation context
// made from the program's manifest, as the loader makes one when it starts
// the program; the version API that Explorer's Properties use), one fact a
// line for the Linux-side driver (wine_viewer_test.cpp):
//
//   dpiAware VALUE                 the manifest's dpiAware setting
//   runLevel N uiAccess N          the requested execution level (1: asInvoker)
//   supportedOS {GUID}             one line for each system the manifest names
//   identity TEXT                  the manifest's assembly identity, as Windows encodes it
//   fixedVersion FILE PRODUCT      the version numbers, A.B.C.D each
//   string NAME VALUE              each string of the US English version block
//
// A manifest or version resource that Windows cannot read gives no lines of
// its own and a message on standard error; the exit code is then 1.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back();  // the terminating zero
    return bytes;
}

// QueryActCtxW for information of variable size.
std::vector<unsigned char> queryContext(HANDLE context, const void* subInstance, ULONG infoClass) {
    SIZE_T needed = 0;
    QueryActCtxW(0, context, const_cast<void*>(subInstance), infoClass, nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed);
    if (needed == 0 || !QueryActCtxW(0, context, const_cast<void*>(subInstance), infoClass, buffer.data(),
                                     buffer.size(), nullptr))
        buffer.clear();
    return buffer;
}

bool printManifest(const wchar_t* program) {
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = program;
    request.lpResourceName = MAKEINTRESOURCEW(1);  // CREATEPROCESS_MANIFEST_RESOURCE_ID
    const HANDLE context = CreateActCtxW(&request);
    if (context == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "no manifest Windows can read (error %lu)\n", GetLastError());
        return false;
    }

    wchar_t value[64];
    if (QueryActCtxSettingsW(0, context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware",
                             value, sizeof value / sizeof value[0], nullptr))
        std::printf("dpiAware %s\n", utf8(value).c_str());

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
    if (QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &level, sizeof level, nullptr))
        std::printf("runLevel %d uiAccess %lu\n", static_cast<int>(level.RunLevel), level.UiAccess);

    // A count, then one element per entry. Windows 10 1903 and Wine give
    // each element a MaxVersionTested (32 bytes, from offset 8); MinGW-w64's
    // headers, like older Windows, know only GUID and type (20 bytes, from
    // offset 4). The size of the answer tells which.
    const auto compatibility = queryContext(context, nullptr, CompatibilityInformationInActivationContext);
    if (compatibility.size() >= sizeof(DWORD)) {
        DWORD count = 0;
        std::memcpy(&count, compatibility.data(), sizeof count);
        const bool wide = compatibility.size() == 8 + 32 * std::size_t{count};
        const std::size_t first = wide ? 8 : 4, stride = wide ? 32 : 20;
        for (DWORD i = 0; i < count && first + (i + 1) * stride <= compatibility.size(); ++i) {
            GUID id;
            ACTCTX_COMPATIBILITY_ELEMENT_TYPE type;
            std::memcpy(&id, compatibility.data() + first + i * stride, sizeof id);
            std::memcpy(&type, compatibility.data() + first + i * stride + sizeof id, sizeof type);
            if (type != ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) continue;
            wchar_t guid[64];
            StringFromGUID2(id, guid, 64);
            std::printf("supportedOS %s\n", utf8(guid).c_str());
        }
    }

    const DWORD firstAssembly = 1;  // the program's own
    const auto detail = queryContext(context, &firstAssembly, AssemblyDetailedInformationInActivationContext);
    if (!detail.empty()) {
        const auto* info = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(detail.data());
        if (info->lpAssemblyEncodedAssemblyIdentity)
            std::printf("identity %s\n", utf8(info->lpAssemblyEncodedAssemblyIdentity).c_str());
    }
    ReleaseActCtx(context);
    return true;
}

std::string dotted(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) +
           "." + std::to_string(LOWORD(low));
}

bool printVersion(const wchar_t* program) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program, &ignored);
    std::vector<unsigned char> block(size);
    if (size == 0 || !GetFileVersionInfoW(program, 0, size, block.data())) {
        std::fprintf(stderr, "no version resource Windows can read (error %lu)\n", GetLastError());
        return false;
    }
    void* data = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &data, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
        std::printf("fixedVersion %s %s\n", dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str(),
                    dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());
    }
    for (const wchar_t* name : {L"FileDescription", L"FileVersion", L"InternalName", L"OriginalFilename",
                                L"ProductName", L"ProductVersion"}) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (VerQueryValueW(block.data(), path.c_str(), &data, &length) && length > 0)
            std::printf("string %s %s\n", utf8(name).c_str(), utf8(static_cast<const wchar_t*>(data)).c_str());
    }
    return true;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count != 2) {
        std::fprintf(stderr, "usage: resource_probe PROGRAM.exe\n");
        return 2;
    }
    const bool manifest = printManifest(args[1]);
    const bool version = printVersion(args[1]);
    return manifest && version ? 0 : 1;
}
