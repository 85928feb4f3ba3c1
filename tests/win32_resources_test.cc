// The version information and manifest that the Windows executables carry,
// read back as Explorer and the loader read them.
#include "ravlet_version.h"
#include "win32_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string version_string(const std::vector<char>& info, const char* name)
{
    const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || length == 0)
        return "(missing)";
    return std::string(value, length - 1);
}

std::string manifest_of(const std::string& path)
{
    const HMODULE module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return "(not loaded)";
    std::string text = "(missing)";
    if (HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        const HGLOBAL loaded = ::LoadResource(module, resource);
        text.assign(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module, resource));
    }
    ::FreeLibrary(module);
    return text;
}

TEST(WindowsResources, ExecutablesCarryVersionAndManifest)
{
    for (const std::string name : {"ravlet", "ravlet-listen"}) {
        SCOPED_TRACE(name);
        const std::string path = ravlet::test::beside_this_program(name + ".exe");
        DWORD ignored = 0;
        const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version resource";
        std::vector<char> info(size);
        ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

        EXPECT_EQ(version_string(info, "ProductName"), "ravlet");
        EXPECT_EQ(version_string(info, "FileVersion"), RAVLET_VERSION);
        EXPECT_EQ(version_string(info, "ProductVersion"), RAVLET_VERSION);
        EXPECT_EQ(version_string(info, "OriginalFilename"), name + ".exe");
        EXPECT_NE(version_string(info, "FileDescription").find("Corvane NET messenger"), std::string::npos);

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        const std::string numeric = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                    std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                    std::to_string(HIWORD(fixed->dwFileVersionLS));
        EXPECT_EQ(numeric, RAVLET_VERSION);

        const std::string manifest = manifest_of(path);
        EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
        EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos) << "Windows 10 and 11";
        EXPECT_NE(manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos) << "Windows 7";
    }
}

} // namespace
