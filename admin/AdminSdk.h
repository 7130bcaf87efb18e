#pragma once

#include "sdk/CallbackRequest.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The SDK calls the administration dialogs make. LiveAdminSdk forwards them to sdk/Sdk.h; tests use a recording
// store of their own, so every write and its order can be checked without a server.
class AdminSdk {
public:
    using CallbackHandler = std::function<void(int result)>;

    virtual ~AdminSdk() = default;

    virtual int GetInt(int attribute) = 0;
    virtual bool GetBool(int attribute) = 0;
    virtual std::string GetString(int attribute) = 0;
    virtual int SetInt(int attribute, int value) = 0;
    virtual int SetBool(int attribute, bool value) = 0;
    virtual int SetString(int attribute, std::string_view value) = 0;
    // An empty handler removes the one installed.
    virtual int SetCallbackHandler(int callback, CallbackHandler handler) = 0;

    virtual int WorldAttributesChange() = 0;
    virtual int UniverseAttributesChange() = 0;
    virtual int WorldEject() = 0;
    virtual int Teleport(int session) = 0;
    virtual int UrlSend(int session, std::string_view url, std::string_view target) = 0;
    virtual int AddressRequest(int session) = 0;
    virtual int CitizenByNumber(int number) = 0;
    virtual int CitizenByName(std::string_view name) = 0;
    virtual int ObjectAdd() = 0;
    virtual int ObjectLoad() = 0;

    virtual int WorldEjectionAdd() = 0;
    virtual int WorldEjectionDelete() = 0;
    virtual int WorldEjectionLookup() = 0;
    virtual int WorldEjectionNext() = 0;
    virtual int WorldEjectionPrevious() = 0;
    virtual int UniverseEjectionAdd() = 0;
    virtual int UniverseEjectionDelete(int address) = 0;
    virtual int UniverseEjectionLookup() = 0;
    virtual int UniverseEjectionNext() = 0;
    virtual int UniverseEjectionPrevious() = 0;

    // Every request answered through a callback goes through here (see sdk/CallbackRequest.h): a request refused at
    // once is handed to handler, or to refused when given, instead of going unanswered.
    int Request(int callback, const CallbackHandler &handler, const std::function<int()> &request,
                const CallbackHandler &refused = {}) {
        return RequestWithCallback(
            [this](int number, CallbackHandler h) { return SetCallbackHandler(number, std::move(h)); }, callback,
            handler, request, refused);
    }
};

class LiveAdminSdk final : public AdminSdk {
public:
    int GetInt(int attribute) override;
    bool GetBool(int attribute) override;
    std::string GetString(int attribute) override;
    int SetInt(int attribute, int value) override;
    int SetBool(int attribute, bool value) override;
    int SetString(int attribute, std::string_view value) override;
    int SetCallbackHandler(int callback, CallbackHandler handler) override;

    int WorldAttributesChange() override;
    int UniverseAttributesChange() override;
    int WorldEject() override;
    int Teleport(int session) override;
    int UrlSend(int session, std::string_view url, std::string_view target) override;
    int AddressRequest(int session) override;
    int CitizenByNumber(int number) override;
    int CitizenByName(std::string_view name) override;
    int ObjectAdd() override;
    int ObjectLoad() override;

    int WorldEjectionAdd() override;
    int WorldEjectionDelete() override;
    int WorldEjectionLookup() override;
    int WorldEjectionNext() override;
    int WorldEjectionPrevious() override;
    int UniverseEjectionAdd() override;
    int UniverseEjectionDelete(int address) override;
    int UniverseEjectionLookup() override;
    int UniverseEjectionNext() override;
    int UniverseEjectionPrevious() override;
};

// Writes one run of text into the chat pane: colour 0xRRGGBB and the pane's emphasis flags.
using ChatLineWriter = std::function<void(const std::string &text, std::uint32_t colour, bool bold, bool italic,
                                          bool underline, bool newline)>;

// The message boxes the dialogs' rules ask for; the Qt dialogs implement it, tests record it.
class AdminPrompt {
public:
    virtual ~AdminPrompt() = default;
    // An error box with the error icon and one OK button.
    virtual void ShowError(const std::string &title, const std::string &message) = 0;
    // A question with Yes and No and no icon; true for Yes.
    virtual bool AskYesNo(const std::string &title, const std::string &question) = 0;
};

// The person a people-menu dialog acts on: the Users-list row the menu was opened on.
struct AdminPerson {
    std::string name;
    int session = 0;
};
