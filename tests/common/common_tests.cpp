// The safe output file, called directly: its refusals, replacement and
// clean-up. (The trace format is read back by every run under portemu.)
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "safe_output.h"
#include "test_support.h"

#include <doctest/doctest.h>

#include <string>

namespace {

std::wstring Wide(const std::string& path)
{
    return std::wstring(path.begin(), path.end());
}

std::string ReadWide(const std::wstring& path)
{
    std::string bytes;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    char chunk[256];
    DWORD got = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got)
        bytes.append(chunk, got);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return bytes;
}

// The files in a folder, "|"-separated, with ? for what ASCII lacks.
std::string FolderListing(const std::wstring& folder)
{
    std::string names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (found.cFileName[0] == L'.')
            continue;
        names += '|';
        for (const wchar_t* at = found.cFileName; *at; ++at)
            names += *at < 0x80 ? static_cast<char>(*at) : '?';
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// Writes text through a safe output over out; true when it took OUT's name.
bool WriteSafely(const std::wstring& out, const std::wstring& in, const std::string& text,
                 std::string& why)
{
    SafeOutput output;
    const wchar_t* inputs[] = {in.c_str()};
    const bool done = OpenSafeOutput(output, out.c_str(), inputs, 1)
                      && WriteSafeOutput(output, text.data(), text.size())
                      && FinishSafeOutput(output);
    why = output.why;
    return done;
}

} // namespace

TEST_CASE("a safe output never harms an input or an OUT it cannot replace")
{
    const std::string folderName = TempPath("safe");
    CreateDirectoryA(folderName.c_str(), nullptr);
    const std::wstring folder = Wide(folderName);
    const std::wstring in = folder + L"\\in.bin";
    const std::wstring out = folder + L"\\\x041B\x0435\x043D\x0442\x0430 \x03C9.bin";
    std::string why;
    REQUIRE(WriteSafely(in, L"", "input", why));

    SUBCASE("OUT is IN by another spelling, or by a hard link")
    {
        const std::wstring link = folder + L"\\link.bin";
        REQUIRE(CreateHardLinkW(link.c_str(), in.c_str(), nullptr));
        for (const std::wstring& same : {folder + L"\\.\\IN.BIN", link}) {
            CHECK_FALSE(WriteSafely(same, in, "lost", why));
            CHECK(why.find("are the same file") != std::string::npos);
        }
        CHECK(ReadWide(in) == "input");
        DeleteFileW(link.c_str());
    }
    SUBCASE("OUT held open by another program, or a folder")
    {
        REQUIRE(WriteSafely(out, in, "old", why));
        const HANDLE held = CreateFileW(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        CHECK_FALSE(WriteSafely(out, in, "new", why));
        CHECK(why.find("in use by another program") != std::string::npos);
        CloseHandle(held);
        CHECK(ReadWide(out) == "old");
        CHECK_FALSE(WriteSafely(folder, in, "new", why));
        CHECK(why.find("it is a folder") != std::string::npos);
        DeleteFileW(out.c_str());
    }
    SUBCASE("a finished output replaces OUT, an abandoned one leaves it as it was")
    {
        REQUIRE(WriteSafely(out, in, "old", why));
        REQUIRE(WriteSafely(out, in, "new", why));
        CHECK(ReadWide(out) == "new");
        SafeOutput output;
        REQUIRE(OpenSafeOutput(output, out.c_str(), nullptr, 0));
        CHECK(WriteSafeOutput(output, "half", 4));
        AbandonSafeOutput(output);
        CHECK(ReadWide(out) == "new");
        DeleteFileW(out.c_str());
    }
    // Nothing but the input is left in the folder: no temporary file.
    CHECK(FolderListing(folder) == "|in.bin");
    DeleteFileW(in.c_str());
    CHECK(RemoveDirectoryW(folder.c_str()));
}
