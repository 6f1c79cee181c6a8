// The tool end to end with the names a library may hold, and with what it cannot read, name or
// write, as a user without privileges (nobody, when the tests run as root as CI does).
#include "Inventory.h"
#include "ToolUnderTest.h"

#include <climits>
#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::testing;
namespace fs = std::filesystem;

// Each name is listed exactly in the report, set aside and put back byte for byte
// (the longest is 250 bytes, as " copy" is added); composed and decomposed "café" are copies.
TEST(ToolFaultTest, UnusualNamesRoundTripExactly) {
    const ToolUnderTest tool;
    std::vector<std::string> names{"my photo.jpg",      "say \"cheese\".jpg",   "a,b.jpg",
                                   "line\012break.jpg", "carriage\rreturn.mov", "back\\slash.jpg",
                                   "tab\there.png",     "caf\xc3\xa9.jpg"};
    names.push_back("'single' $HOME `x` ; & |.jpg");
    names.push_back("folder, \"odd\"\\/in\012side.jpg");
    names.push_back("\u00dcn\u00efc\u00f8d\u00e9 \u2603 \U0001F600.jpg");
    names.push_back("d/" + std::string(246, 'n') + ".jpg");
    for (std::size_t index = 0; index < names.size(); ++index) {
        const fs::path name(names[index]);
        for (const auto& path : {"A/" + names[index], "A/Copies/" + name.stem().string() + " copy" +
                                                          name.extension().string()})
            tool.work.write(path, randomBytes(500 + index, index + 1u));
    }
    tool.work.write("A/cafe\xcc\x81.jpg", readFile(tool.at("A/caf\xc3\xa9.jpg")));
    const auto before = Inventory::of({tool.at("A")});
    ASSERT_EQ(tool.run({"A", "--move", "--yes", "--quiet"}).exitCode, 0);
    const std::string report = readFile(tool.at("quillmere_report.txt"));
    for (const auto& [path, content] : before.files)
        EXPECT_NE(report.find("  " + path + "\n"), std::string::npos) << path;
    const auto accounting = account(before, {tool.at("A")});
    EXPECT_EQ(accounting.broken, "");
    EXPECT_EQ(accounting.records.size(), names.size() + 1);
    EXPECT_EQ(tool.run({"--undo", manifestsUnder({tool.at("A")}).at(0)}).exitCode, 0);
    for (const auto& [path, content] : before.files)
        EXPECT_TRUE(contentOf(path) == content) << path << " is not back";
}

// One run as nobody. Passed over: an unreadable folder. Counted: an unreadable file, names not
// UTF-8, a pair deeper than PATH_MAX. Skipped with why: copies in a read-only folder or root, a
// 255-byte name taken in the review folder, the copy of a keeper made unreadable at the prompt.
TEST(ToolFaultTest, WhatCannotBeReadNamedOrWrittenIsLeftWhereItIs) {
    if (const auto why = ToolUnderTest::whyNoUnprivilegedRun())
        GTEST_SKIP() << *why;
    const ToolUnderTest tool;
    const std::string longest = std::string(NAME_MAX - 4, 'z') + ".jpg";
    const std::vector<std::string> copies{"A/Free/IMG_0 copy.jpg",   "A/Free2/IMG_1 copy.jpg",
                                          "A/Locked/IMG_2 copy.jpg", "A/Copies/IMG_3 copy.jpg",
                                          "A/Fixed/IMG_4 copy.jpg",  "A/Copies/IMG_5 copy.jpg",
                                          "B/Copies/IMG_6 copy.jpg", "A/Long/" + longest,
                                          "A/bad\xff.jpg",           "A/\xc3(\xa9/IMG_9.jpg"};
    for (std::size_t n = 0; n < copies.size(); ++n) // each kept at <root>/IMG_<n>.jpg
        for (const auto& path :
             {copies[n].substr(0, 2) + (n == 7 ? longest : "IMG_" + std::to_string(n) + ".jpg"),
              copies[n]})
            tool.work.write(path, randomBytes(1000 + n, std::uint32_t(n)));
    tool.work.write("A/_duplicates_review/" + longest, "earlier run"); // A/Long/ is kept: longer
    // D/x holds a pair under 24 folders of 200-byte names, nested from the inside out.
    for (const auto& name : {"D/x/deep.jpg", "D/x/deep copy.jpg"})
        tool.work.write(name, "deep");
    for (int level = 0; level < 24; ++level) {
        fs::create_directory(tool.at("D/y"));
        fs::rename(tool.at("D/x"), tool.at("D/y/" + std::string(200, 'd')));
        fs::rename(tool.at("D/y"), tool.at("D/x"));
    }
    runProcess("chmod", {"-R", "a+rwx", tool.at("A"), tool.at("B")});
    const auto before = Inventory::of({tool.at("A"), tool.at("B")});
    for (const auto& [path, perms] :
         {std::pair{"A/Locked", 0}, {"A/Copies/IMG_3 copy.jpg", 0}, {"A/Fixed", 0555}, {"B", 0555}})
        fs::permissions(tool.at(path), fs::perms(perms));
    const auto run = tool.startUnprivileged({"A", "B", "D", "--move", "--quiet"},
                                            {.inputKind = InputKind::terminal});
    ASSERT_TRUE(run->waitFor(InteractiveProcess::Stream::out, "Type 'yes' to continue: "));
    fs::permissions(tool.at("A/IMG_5.jpg"), fs::perms::none);
    run->send("yes\n");
    const ProcessResult moved = run->finish();
    EXPECT_EQ(moved.exitCode, 0) << moved.err;
    for (const auto& expected :
         {"Media files scanned : 19\n", "Unreadable (skipped): 3\n", "Names not UTF-8     : 2",
          "Moved   : 2 file(s)", "Fixed/IMG_4 copy.jpg\n    move failed: Permission denied\n",
          "IMG_5 copy.jpg\n    no longer byte-identical to ",
          "B/_duplicates_review: Permission denied\n", "move failed: File name too long\n"})
        EXPECT_NE(moved.out.find(expected), std::string::npos) << expected << "\n" << moved.out;
    const auto accounting = account(before, {tool.at("A"), tool.at("B")});
    EXPECT_EQ(accounting.broken, "");
    EXPECT_EQ(accounting.records.size(), 2u);
    fs::permissions(tool.at("A/Free2"), fs::perms(0555)); // the undo cannot put that one back
    const std::string manifest = manifestsUnder({tool.at("A")}).at(0);
    std::ignore = ::chown(manifest.c_str(), 0, 0); // as if root had moved them: anyone may read it
    EXPECT_TRUE(endsWith(tool.startUnprivileged({"--undo", manifest})->finish(), 1,
                         "Free2/IMG_1 copy.jpg: Permission denied\n"));
    EXPECT_EQ(account(before, {tool.at("A"), tool.at("B")}).broken, "");
    // So that any user can remove the tree; rm walks the deep folders by descriptors.
    runProcess("chmod", {"-R", "a+rwx", tool.at("A"), tool.at("B")});
    runProcess("rm", {"-rf", tool.at("D")});
}
