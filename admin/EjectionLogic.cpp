#include "admin/EjectionLogic.h"

#include "admin/AdminText.h"
#include "common/Decimal.h"
#include "common/Ipv4.h"
#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"

namespace {
constexpr int kCommentsBuild = 23; // universe servers before it keep no comments
} // namespace

EjectionLogic::EjectionLogic(AdminSdk &sdk, EjectionView &view, EjectionDatabase database)
    : sdk_(sdk), view_(view), database_(database) {}

void EjectionLogic::Open() {
    sdk_.SetInt(kAttrEjectionAddress, 0);
    expiration_ = 0;
    const int changeCallback = IsWorld() ? kCallbackWorldEjectionResult : kCallbackUniverseEjectionResult;
    const int lookupCallback = IsWorld() ? kCallbackWorldEjectionLookup : kCallbackUniverseEjectionLookup;
    changeHandler_ = guard_.Wrap([this](int result) { ChangeResult(result); });
    lookupHandler_ = guard_.Wrap([this](int result) { LookupResult(result); });
    sdk_.SetCallbackHandler(changeCallback, changeHandler_);
    sdk_.SetCallbackHandler(lookupCallback, lookupHandler_);
    commentsEnabled_ = IsWorld() || sdk_.GetInt(kAttrUniverseBuild) >= kCommentsBuild;
}

int EjectionLogic::Ask(bool lookup, const std::function<int()> &request, const char *refusedText) {
    const int callback = lookup ? (IsWorld() ? kCallbackWorldEjectionLookup : kCallbackUniverseEjectionLookup)
                                : (IsWorld() ? kCallbackWorldEjectionResult : kCallbackUniverseEjectionResult);
    // A refusal is shown here rather than through the handler, which pairs answers with the requests in flight.
    return sdk_.Request(callback, lookup ? lookupHandler_ : changeHandler_, request,
                        [this, refusedText](int result) { view_.ShowStatus(WithReasonText(refusedText, result)); });
}

int EjectionLogic::TypeOf(const EjectionFields &fields) const {
    if (IsWorld() && (fields.type == kEjectionComputer || fields.type == kEjectionCitizen)) {
        return fields.type;
    }
    return kEjectionAddress; // the universe's key, and the world's when no type is chosen
}

std::int32_t EjectionLogic::KeyOfText(int type, const std::string &text) {
    if (type == kEjectionComputer || type == kEjectionCitizen) {
        return ReadDecimal(text);
    }
    return DottedTextToNetworkOrder(text).value_or(0);
}

bool EjectionLogic::CheckAddress(int type, const std::string &value) {
    if (type == kEjectionAddress && !IsValidIpAddress(value)) {
        view_.ShowStatus(EjectionText::InvalidAddress);
        return false;
    }
    return true;
}

void EjectionLogic::Lookup(const EjectionFields &controls) {
    fields_ = controls;
    const int type = TypeOf(controls);
    if (IsWorld()) {
        sdk_.SetInt(kAttrEjectionType, type);
    }
    if (!CheckAddress(type, controls.value)) {
        return;
    }
    view_.ShowStatus(EjectionText::LookingUp);
    sdk_.SetInt(kAttrEjectionAddress, KeyOfText(type, controls.value));
    if (Ask(
            true, [this] { return IsWorld() ? sdk_.WorldEjectionLookup() : sdk_.UniverseEjectionLookup(); },
            EjectionText::LookupRefused) == 0) {
        lookups_.push_back(false);
    }
}

void EjectionLogic::Next(const EjectionFields &controls) {
    fields_ = controls;
    view_.ShowStatus(EjectionText::LookingUp);
    if (Ask(
            true, [this] { return IsWorld() ? sdk_.WorldEjectionNext() : sdk_.UniverseEjectionNext(); },
            EjectionText::LookupRefused) == 0) {
        lookups_.push_back(false);
    }
}

void EjectionLogic::Previous(const EjectionFields &controls) {
    fields_ = controls;
    view_.ShowStatus(EjectionText::LookingUp);
    if (Ask(
            true, [this] { return IsWorld() ? sdk_.WorldEjectionPrevious() : sdk_.UniverseEjectionPrevious(); },
            EjectionText::LookupRefused) == 0) {
        lookups_.push_back(false);
    }
}

void EjectionLogic::Add(const EjectionFields &controls) { Write(controls, EjectionText::AddRefused); }

void EjectionLogic::Change(const EjectionFields &controls) { Write(controls, EjectionText::ChangeRefused); }

void EjectionLogic::Write(const EjectionFields &controls, const char *refusedText) {
    fields_ = controls;
    const int type = TypeOf(controls);
    if (!CheckAddress(type, controls.value)) {
        return;
    }
    // The SDK would refuse an over-long comment and send the previous record's instead.
    if (controls.comment.size() > AttributeMaxLength(kAttrEjectionComment)) {
        view_.ShowStatus(FormatText(EjectionText::CommentTooLong, AttributeMaxLength(kAttrEjectionComment)));
        return;
    }
    if (IsWorld()) {
        sdk_.SetInt(kAttrEjectionType, type);
    }
    sdk_.SetInt(kAttrEjectionAddress, KeyOfText(type, controls.value));
    sdk_.SetString(kAttrEjectionComment, controls.comment);
    sdk_.SetInt(kAttrEjectionExpiration, expiration_);
    if (Ask(
            false, [this] { return IsWorld() ? sdk_.WorldEjectionAdd() : sdk_.UniverseEjectionAdd(); }, refusedText) ==
        0) {
        changes_.push_back({true, controls});
    }
}

void EjectionLogic::Delete(const EjectionFields &controls) {
    fields_ = controls;
    const int type = TypeOf(controls);
    if (!CheckAddress(type, controls.value)) {
        return;
    }
    view_.ShowStatus(EjectionText::Deleting);
    const std::int32_t key = KeyOfText(type, controls.value);
    const auto request = [this, type, key] {
        if (!IsWorld()) {
            return sdk_.UniverseEjectionDelete(key);
        }
        sdk_.SetInt(kAttrEjectionType, type);
        sdk_.SetInt(kAttrEjectionAddress, key);
        return sdk_.WorldEjectionDelete();
    };
    if (Ask(false, request, EjectionText::DeleteRefused) == 0) {
        changes_.push_back({});
    }
}

void EjectionLogic::SetExpiration(const EjectionFields &controls, int expiration) {
    fields_ = controls;
    expiration_ = expiration;
    fields_.expires = ExpiryText(expiration);
    view_.ShowFields(fields_);
}

std::string EjectionLogic::ExpiryText(int expiration) {
    return expiration == 0 ? EjectionText::Never : FormatLocalTime(expiration, EjectionText::TimeFormat);
}

std::string EjectionLogic::CreationText(int creation) {
    return creation == 0 ? EjectionText::Unknown : FormatLocalTime(creation, EjectionText::TimeFormat);
}

void EjectionLogic::ChangeResult(int result) {
    PendingChange change;
    if (!changes_.empty()) {
        change = std::move(changes_.front());
        changes_.pop_front();
    }
    view_.ShowStatus(result == 0 ? std::string(EjectionText::Successful)
                                 : FormatText(EjectionText::ModifyFailed, ReasonText(result).c_str()));
    if (result == 0 && change.write) {
        Reread(change.written);
    }
}

void EjectionLogic::Reread(const EjectionFields &written) {
    // Until the answer comes, the creation time shown would be the previous record's.
    fields_.created.clear();
    view_.ShowFields(fields_);
    const int type = TypeOf(written);
    if (IsWorld()) {
        sdk_.SetInt(kAttrEjectionType, type);
    }
    sdk_.SetInt(kAttrEjectionAddress, KeyOfText(type, written.value));
    if (Ask(
            true, [this] { return IsWorld() ? sdk_.WorldEjectionLookup() : sdk_.UniverseEjectionLookup(); },
            EjectionText::LookupRefused) == 0) {
        lookups_.push_back(true);
    }
}

void EjectionLogic::ClearRecord() {
    fields_.comment.clear();
    fields_.created.clear();
    // Nothing was read, so the next Add sends no expiry of another record's.
    expiration_ = 0;
    fields_.expires = ExpiryText(expiration_);
    view_.ShowFields(fields_);
}

void EjectionLogic::LookupResult(int result) {
    bool reread = false;
    if (!lookups_.empty()) {
        reread = lookups_.front();
        lookups_.pop_front();
    }
    if (result != 0) {
        if (!reread) {
            view_.ShowStatus(EjectionText::NoSuchEjection);
            ClearRecord();
        }
        return;
    }
    const int type = IsWorld() ? sdk_.GetInt(kAttrEjectionType) : kEjectionAddress;
    const bool numbered = type == kEjectionComputer || type == kEjectionCitizen;
    const std::int32_t key = sdk_.GetInt(kAttrEjectionAddress);
    fields_.value = numbered ? std::to_string(key) : NetworkOrderToDottedText(key);
    fields_.created = CreationText(sdk_.GetInt(kAttrEjectionCreation));
    expiration_ = sdk_.GetInt(kAttrEjectionExpiration);
    fields_.expires = ExpiryText(expiration_);
    fields_.comment = sdk_.GetString(kAttrEjectionComment);
    if (IsWorld()) {
        fields_.type = numbered ? type : kEjectionAddress;
    }
    view_.ShowFields(fields_);
    if (!reread) { // after a change its "Successful." stays
        view_.ShowStatus(EjectionText::LookupSuccessful);
    }
}
