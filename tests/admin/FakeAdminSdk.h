#pragma once

// A stand-in for the SDK: a typed attribute store with the SDK's kinds and limits, a log of every write and call
// in order, installed callback handlers that a test fires by hand, and a result per operation.

#include "admin/AdminSdk.h"
#include "sdk/Attributes.h"

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

class FakeAdminSdk final : public AdminSdk {
public:
    // "I70=3000", "B65=1", "S46=sky", or the name of an operation ("WorldAttributesChange", "Teleport 7").
    std::vector<std::string> log;
    std::map<std::string, int> results; // operation name -> return value (default 0)

    int GetInt(int a) override { return ints_.count(a) ? ints_[a] : 0; }
    bool GetBool(int a) override { return bools_.count(a) ? bools_[a] : false; }
    std::string GetString(int a) override { return strings_.count(a) ? strings_[a] : std::string(); }

    int SetInt(int a, int v) override {
        if (const int r = Check(a, AttributeKind::Int))
            return r;
        ints_[a] = v;
        log.push_back("I" + std::to_string(a) + "=" + std::to_string(v));
        return 0;
    }
    int SetBool(int a, bool v) override {
        if (const int r = Check(a, AttributeKind::Bool))
            return r;
        bools_[a] = v;
        log.push_back("B" + std::to_string(a) + "=" + (v ? "1" : "0"));
        return 0;
    }
    int SetString(int a, std::string_view v) override {
        if (const int r = Check(a, AttributeKind::String))
            return r;
        if (v.size() > AttributeMaxLength(a))
            return 450;
        strings_[a] = std::string(v);
        log.push_back("S" + std::to_string(a) + "=" + std::string(v));
        return 0;
    }
    int SetCallbackHandler(int callback, CallbackHandler handler) override {
        if (handler)
            handlers_[callback] = std::move(handler);
        else
            handlers_.erase(callback);
        return 0;
    }

    // Server-side values: set without logging, as an arriving event would.
    void Int(int a, int v) { ints_[a] = v; }
    void Bool(int a, bool v) { bools_[a] = v; }
    void String(int a, const std::string &v) { strings_[a] = v; }

    bool HasHandler(int callback) const { return handlers_.count(callback) != 0; }
    // Delivers a callback as SdkWait would; false when no handler is installed. The handler may replace or remove
    // itself while it runs, so it runs from a copy.
    bool Fire(int callback, int result) {
        const auto it = handlers_.find(callback);
        if (it == handlers_.end())
            return false;
        CallbackHandler handler = it->second;
        handler(result);
        return true;
    }

    // Only the entries after the last call to this, so a test looks at what one action did.
    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(log);
        return taken;
    }

    int WorldAttributesChange() override { return Op("WorldAttributesChange"); }
    int UniverseAttributesChange() override { return Op("UniverseAttributesChange"); }
    int WorldEject() override { return Op("WorldEject"); }
    int Teleport(int session) override { return Op("Teleport " + std::to_string(session)); }
    int UrlSend(int session, std::string_view url, std::string_view target) override {
        return Op("UrlSend " + std::to_string(session) + " " + std::string(url) + " [" + std::string(target) + "]");
    }
    int AddressRequest(int session) override { return Op("AddressRequest " + std::to_string(session)); }
    int CitizenByNumber(int number) override { return Op("CitizenByNumber " + std::to_string(number)); }
    int CitizenByName(std::string_view name) override { return Op("CitizenByName " + std::string(name)); }
    int ObjectAdd() override { return Op("ObjectAdd"); }
    int ObjectLoad() override { return Op("ObjectLoad"); }
    int WorldEjectionAdd() override { return Op("WorldEjectionAdd"); }
    int WorldEjectionDelete() override { return Op("WorldEjectionDelete"); }
    int WorldEjectionLookup() override { return Op("WorldEjectionLookup"); }
    int WorldEjectionNext() override { return Op("WorldEjectionNext"); }
    int WorldEjectionPrevious() override { return Op("WorldEjectionPrevious"); }
    int UniverseEjectionAdd() override { return Op("UniverseEjectionAdd"); }
    int UniverseEjectionDelete(int address) override { return Op("UniverseEjectionDelete " + std::to_string(address)); }
    int UniverseEjectionLookup() override { return Op("UniverseEjectionLookup"); }
    int UniverseEjectionNext() override { return Op("UniverseEjectionNext"); }
    int UniverseEjectionPrevious() override { return Op("UniverseEjectionPrevious"); }

private:
    static int Check(int a, AttributeKind kind) {
        const AttributeKind actual = KindOfAttribute(a);
        return actual == AttributeKind::None ? 448 : actual != kind ? 449 : 0;
    }
    int Op(const std::string &name) {
        log.push_back(name);
        // Results are keyed by the operation's first word.
        const auto it = results.find(name.substr(0, name.find(' ')));
        return it == results.end() ? 0 : it->second;
    }

    std::map<int, int> ints_;
    std::map<int, bool> bools_;
    std::map<int, std::string> strings_;
    std::map<int, CallbackHandler> handlers_;
};

// Records the chat lines the logic writes.
struct ChatLine {
    std::string text;
    std::uint32_t colour = 0;
    bool bold = false, italic = false, underline = false, newline = false;
    bool operator==(const ChatLine &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const ChatLine &l) {
    return os << "'" << l.text << "' colour " << std::hex << l.colour << std::dec << " b" << l.bold << " i" << l.italic
              << " u" << l.underline << " n" << l.newline;
}

struct ChatRecorder {
    std::vector<ChatLine> lines;
    ChatLineWriter Writer() {
        return [this](const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline,
                      bool newline) {
            lines.push_back({text, colour, bold, italic, underline, newline});
        };
    }
};

inline ChatLine RedLine(const std::string &text) { return {text, 0xFF0000, false, false, false, true}; }
inline ChatLine TealLine(const std::string &text) { return {text, 0x006F6F, false, false, false, true}; }

struct PromptRecorder final : AdminPrompt {
    std::vector<std::string> errors; // "title|message"
    std::vector<std::string> questions;
    bool answer = true;
    void ShowError(const std::string &title, const std::string &message) override {
        errors.push_back(title + "|" + message);
    }
    bool AskYesNo(const std::string &title, const std::string &question) override {
        questions.push_back(title + "|" + question);
        return answer;
    }
};
