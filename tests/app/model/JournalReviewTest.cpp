// Opening the journal of a set-aside that did not finish as a review, like a manifest.
#include "ModelTestSupport.h"
#include "move/MoveJournal.h"
#include "move/Mover.h"
#include "scan/DuplicateScanner.h"
#include "scan/SkipRules.h"

using namespace quillmere;
using namespace quillmere::testing;
using State = ReviewItem::State;

TEST(JournalReviewTest, ALeftoverJournalNewerThanTheLastManifestIsTheOneOpened) {
    TempDir dir;
    const std::string drive = dir.path("Drive");
    const std::string photo = randomBytes(5000, 7);
    dir.write("Drive/keep.jpg", photo);
    dir.write("Drive/a.jpg", photo);
    dir.write("Drive/sub/b.jpg", photo);
    const auto result = DuplicateScanner(ScanConfig{{drive}, {}}).scan();
    const auto outcome =
        Mover({drive}, std::string(SkipRules::reviewDirectoryName)).move(result.groups);
    ASSERT_EQ(outcome.moved.size(), 2u);
    // What a later run killed after its two moves would have left, had it made them.
    const auto manifest = Mover::readManifest(outcome.manifestURL().value());
    std::string text = MoveManifest{manifest.root, manifest.createdAt, {}}.encode(
                           MoveManifest::Layout::singleLine) +
                       "\n";
    for (const auto& record : manifest.records)
        text += MoveManifest::encodeRecord(record) + "\n";
    const std::string journal =
        dir.write("Drive/_duplicates_review/_quillmere_journal_29991231-235959-1.jsonl", text);

    for (const auto& location : {drive, journal}) {
        ReviewSession session;
        if (location == journal)
            session.load(location);
        else
            session.loadManifest(location);
        ASSERT_EQ(session.items().size(), 2u) << location << session.errorMessage().value_or("");
        for (const auto& item : session.items())
            EXPECT_EQ(item.state, State::pending) << item.id;
        EXPECT_EQ(session.sourceDescription().value_or(""), dir.path("Drive/_duplicates_review"));
    }
}
