// What a user types into the history's search box, straight into a real store: whatever the text, the search
// either runs or says in its own words that there is nothing to search for. No SQL or full-text syntax error ever
// reaches the user.
//
// Input: the query text.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "history/FtsQuery.h"
#include "history/HistoryReader.h"
#include "history/HistoryWriter.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// One small store for the whole run, removed when the process ends.
class Store {
public:
    Store() {
        std::string pattern = (std::filesystem::temp_directory_path() / "gabbler-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            folder_ = pattern;
        HistoryWriter writer;
        writer.Start(folder_, {});
        for (const char *text : {"hello world", "meet me at the harbour", "NEAR AND OR NOT", "Café \"quoted\" *star*",
                                 "a-b c:d e^f (g) {h}"})
            writer.Append(1, "Town", "Ann", 1, LineKind::Chat, 0, false, false, false, text);
        writer.Stop();
        std::string error;
        reader_ = std::make_unique<HistoryReader>();
        reader_->Open(folder_, false, error);
    }
    ~Store() {
        reader_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    HistoryReader &Reader() { return *reader_; }

private:
    std::string folder_;
    std::unique_ptr<HistoryReader> reader_;
};

} // namespace

int FuzzHistoryQuery(const std::uint8_t *data, std::size_t size) {
    static Store store;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    FUZZ_CHECK(store.Reader().IsOpen(), "the store opens");
    const HistoryResult r = store.Reader().Search(text, {}, 10);
    if (!r.ok) {
        FUZZ_CHECK(r.error.find("There is nothing to search for") == 0, "only our own message, never the engine's");
        FUZZ_CHECK(MakeFtsQuery(text).expression.empty(), "refused only when nothing is left to search for");
    }
    // Whatever precedes a plain word, the query runs.
    const HistoryResult harbour = store.Reader().Search(std::string(text.substr(0, 64)) + " harbour", {}, 10);
    FUZZ_CHECK(harbour.ok, "a query with a word in it runs");
    return 0;
}
