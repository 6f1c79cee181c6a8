// A file with an unreadable block (EIO from the disk) under the tool: in the part the scan's
// signature reads, in the middle that only the full comparison reads, and appearing between the
// scan and the set-aside's re-check. The file is never grouped or moved. The bad block comes from
// an LD_PRELOAD library (EioShim.cpp).
#include "Inventory.h"
#include "ToolUnderTest.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace quillmere::testing;
using Stream = InteractiveProcess::Stream;

namespace {

struct FaultyPair {
    ToolUnderTest tool;
    std::string content = randomBytes(600000, 5);
    std::string keep = tool.work.write("A/IMG_0001.JPG", content);
    std::string copy = tool.work.write("A/IMG_0001 copy.JPG", content);
    std::string control = tool.home.path("eio-control");

    void badByteAt(long long offset) const {
        std::ofstream(control) << tool.at("A/IMG_0001 copy.JPG") << "\n" << offset << "\n";
    }
    ProcessOptions withShim(InputKind input = InputKind::none) const {
        ProcessOptions options;
        options.environment["LD_PRELOAD"] = QUILLMERE_EIO_SHIM;
        options.environment["QUILLMERE_EIO_CONTROL"] = control;
        // A sanitizer build's runtime would otherwise refuse to load after the library.
        options.environment["ASAN_OPTIONS"] = "verify_asan_link_order=0";
        options.inputKind = input;
        return options;
    }
};

} // namespace

TEST(EioTest, AnUnreadableBlockIsNeverTakenForADuplicate) {
    struct Case {
        const char* where;
        long long offset;
    };
    // The signature reads the first and last 128 KiB; the middle only the full comparison.
    for (const Case& c : {Case{"in the signature's part", 1000}, Case{"in the middle", 300000}}) {
        const FaultyPair pair;
        pair.badByteAt(c.offset);
        const auto result = pair.tool.run({"A"}, pair.withShim());
        EXPECT_EQ(result.exitCode, 0) << c.where << result.err;
        EXPECT_NE(result.out.find("Duplicate groups    : 0\n"), std::string::npos)
            << c.where << result.out;
        EXPECT_NE(result.out.find("Unreadable (skipped): 1\n"), std::string::npos)
            << c.where << result.out;
    }
}

TEST(EioTest, ABlockThatBecomesUnreadableBeforeTheMoveKeepsTheFileInPlace) {
    const FaultyPair pair;
    const auto run = pair.tool.start({"A", "--move"}, pair.withShim(InputKind::terminal));
    ASSERT_TRUE(run->waitFor(Stream::out, "Type 'yes' to continue: "));
    pair.badByteAt(300000);
    run->send("yes\n");
    const auto result = run->finish();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Moved   : 0 file(s)"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("    no longer byte-identical to " + pair.tool.at("A/IMG_0001.JPG")),
              std::string::npos)
        << result.out;
    EXPECT_EQ(readFile(pair.copy), pair.content);
}
