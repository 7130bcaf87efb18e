#pragma once

#include "admin/AdminSdk.h"
#include "admin/CallbackGuard.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace EjectionText {
inline constexpr const char *WorldTitle = "World Ejections";
inline constexpr const char *UniverseTitle = "Universe Ejections";
inline constexpr const char *InvalidAddress = "Invalid IP address.";
inline constexpr const char *LookingUp = "Looking up ejection...";
inline constexpr const char *Deleting = "Deleting ejection...";
inline constexpr const char *LookupRefused = "Lookup unsuccessful.";
inline constexpr const char *AddRefused = "Unable to add ejection.";
inline constexpr const char *ChangeRefused = "Unable to change ejection.";
inline constexpr const char *DeleteRefused = "Unable to delete ejection.";
inline constexpr const char *Successful = "Successful.";
inline constexpr const char *ModifyFailed = "Unable to modify ejection database (reason: %s).";
inline constexpr const char *NoSuchEjection = "No such ejection.";
inline constexpr const char *LookupSuccessful = "Lookup successful.";
inline constexpr const char *Unknown = "Unknown";
inline constexpr const char *Never = "Never";
inline constexpr const char *CommentTooLong = "The comment is too long: the server takes at most %zu bytes.";
inline constexpr const char *TimeFormat = "%a %b %d, %Y %X";
} // namespace EjectionText

enum class EjectionDatabase { World, Universe };

// The world database's key types, as the radio buttons and attribute 273 number them.
enum EjectionType : int { kEjectionNoType = -1, kEjectionAddress = 0, kEjectionComputer = 1, kEjectionCitizen = 2 };

// The dialog's fields as shown. The universe dialog has no type.
struct EjectionFields {
    int type = kEjectionNoType; // none selected counts as an IP address
    std::string value;          // "Value:" or "Address:"
    std::string comment;
    std::string created;
    std::string expires;
    bool operator==(const EjectionFields &) const = default;
};

class EjectionView {
public:
    virtual ~EjectionView() = default;
    virtual void ShowStatus(const std::string &text) = 0;
    virtual void ShowFields(const EjectionFields &fields) = 0;
};

// "World Ejections" and "Universe Ejections": browse and edit an ejection database. Every request answers
// through an SDK callback that this logic installs when the dialog opens; answers that arrive after it is gone do
// nothing.
class EjectionLogic {
public:
    EjectionLogic(AdminSdk &sdk, EjectionView &view, EjectionDatabase database);
    EjectionLogic(const EjectionLogic &) = delete;
    EjectionLogic &operator=(const EjectionLogic &) = delete;

    // Starts browsing at key 0 with no expiry and installs the callback handlers.
    void Open();

    EjectionDatabase Database() const { return database_; }
    bool CommentsEnabled() const { return commentsEnabled_; }
    // "Comments:" takes this many characters in the world dialog; the universe's is limited only by the server.
    static constexpr int kWorldCommentLimit = 255;
    int Expiration() const { return expiration_; }
    const EjectionFields &Fields() const { return fields_; }

    // The buttons; each takes the fields as the controls hold them.
    void Lookup(const EjectionFields &controls);
    void Next(const EjectionFields &controls);
    void Previous(const EjectionFields &controls);
    void Add(const EjectionFields &controls);
    void Change(const EjectionFields &controls);
    void Delete(const EjectionFields &controls);
    // The Edit Date dialog's answer: seconds since 1970, 0 for never. Sent with the next Add or Change.
    void SetExpiration(const EjectionFields &controls, int expiration);

    // The key attribute 274 holds for a value text: a dotted address in network order, or a decimal number.
    static std::int32_t KeyOfText(int type, const std::string &text);
    static std::string ExpiryText(int expiration);
    static std::string CreationText(int creation);

private:
    bool IsWorld() const { return database_ == EjectionDatabase::World; }
    // Makes a request of the look-up (or else the change) callback; a refusal at once shows refusedText with its
    // reason. The request's result.
    int Ask(bool lookup, const std::function<int()> &request, const char *refusedText);
    int TypeOf(const EjectionFields &fields) const;
    // Checks the value as an address where the type needs one; false (after saying so) when it is not.
    bool CheckAddress(int type, const std::string &value);
    void Store(int result, const char *refusedText, bool change);
    void Write(const EjectionFields &controls, const char *refusedText);
    void ChangeResult(int result);
    void LookupResult(int result);
    // Asks the server for the record just written, so that the fields show what it now holds ("Created:").
    void Reread(const EjectionFields &written);
    // Empties what the fields showed of a record, keeping the key as typed.
    void ClearRecord();

    // The answers of one callback arrive in the order of the requests, so each request in flight is remembered in
    // order: for the change callback whether it wrote a record (and which), for the look-up callback whether it
    // re-reads one after a change.
    struct PendingChange {
        bool write = false;
        EjectionFields written;
    };
    std::deque<PendingChange> changes_;
    std::deque<bool> lookups_; // true: a re-read after a change
    AdminSdk &sdk_;
    EjectionView &view_;
    EjectionDatabase database_;
    EjectionFields fields_;
    int expiration_ = 0;
    bool commentsEnabled_ = true;
    AdminSdk::CallbackHandler changeHandler_;
    AdminSdk::CallbackHandler lookupHandler_;
    CallbackGuard guard_;
};
