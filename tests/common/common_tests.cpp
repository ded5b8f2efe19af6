// The safe output file, called directly: its refusals, replacement and
// clean-up. (The trace format is read back by every run under portemu.)
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "safe_output.h"
#include "test_support.h"

#include <doctest/doctest.h>

#include <string>

namespace {

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
    const Folder folder("safe");
    const std::string inName = folder / "in.bin";
    const std::string outName = folder / "\xD0\x9B\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0 \xCF\x89.bin";  // Лента ω
    const std::wstring in = Widen(inName);
    const std::wstring out = Widen(outName);
    std::string why;
    REQUIRE(WriteSafely(in, L"", "input", why));

    SUBCASE("OUT is IN by another spelling, or by a hard link")
    {
        const std::wstring link = Widen(folder / "link.bin");
        REQUIRE(CreateHardLinkW(link.c_str(), in.c_str(), nullptr));
        for (const std::wstring& same : {Widen(folder / ".\\IN.BIN"), link}) {
            CHECK_FALSE(WriteSafely(same, in, "lost", why));
            CHECK(why.find("are the same file") != std::string::npos);
        }
        CHECK(ReadFileBytes(inName) == "input");
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
        CHECK(ReadFileBytes(outName) == "old");
        // Held only after the output was opened and written: the rename fails.
        SafeOutput output;
        REQUIRE(OpenSafeOutput(output, out.c_str(), nullptr, 0));
        REQUIRE(WriteSafeOutput(output, "new", 3));
        const HANDLE heldLate = CreateFileW(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
        CHECK_FALSE(FinishSafeOutput(output));
        CHECK(std::string(output.why).find("in use by another program") != std::string::npos);
        CloseHandle(heldLate);
        CHECK(ReadFileBytes(outName) == "old");
        CHECK(folder.Names() == std::set<std::string>{"in.bin", outName.substr(folder.path.size() + 1)});
        CHECK_FALSE(WriteSafely(Widen(folder.path), in, "new", why));
        CHECK(why.find("it is a folder") != std::string::npos);
        DeleteFileW(out.c_str());
    }
    SUBCASE("a finished output replaces OUT, an abandoned one leaves it as it was")
    {
        REQUIRE(WriteSafely(out, in, "old", why));
        REQUIRE(WriteSafely(out, in, "new", why));
        CHECK(ReadFileBytes(outName) == "new");
        SafeOutput output;
        REQUIRE(OpenSafeOutput(output, out.c_str(), nullptr, 0));
        CHECK(WriteSafeOutput(output, "half", 4));
        AbandonSafeOutput(output);
        CHECK(ReadFileBytes(outName) == "new");
        DeleteFileW(out.c_str());
    }
    // Nothing but the input is left in the folder: no temporary file.
    CHECK(folder.Names() == std::set<std::string>{"in.bin"});
}
