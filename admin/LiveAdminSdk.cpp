// Kept apart so that programs using only a stand-in store do not link the SDK.
#include "admin/AdminSdk.h"
#include "sdk/Sdk.h"

int LiveAdminSdk::GetInt(int attribute) { return SdkGetInt(attribute); }
bool LiveAdminSdk::GetBool(int attribute) { return SdkGetBool(attribute); }
std::string LiveAdminSdk::GetString(int attribute) { return SdkGetString(attribute); }
int LiveAdminSdk::SetInt(int attribute, int value) { return SdkSetInt(attribute, value); }
int LiveAdminSdk::SetBool(int attribute, bool value) { return SdkSetBool(attribute, value); }
int LiveAdminSdk::SetString(int attribute, std::string_view value) { return SdkSetString(attribute, value); }
int LiveAdminSdk::SetCallbackHandler(int callback, CallbackHandler handler) {
    return SdkSetCallbackHandler(callback, std::move(handler));
}

int LiveAdminSdk::WorldAttributesChange() { return SdkWorldAttributesChange(); }
int LiveAdminSdk::UniverseAttributesChange() { return SdkUniverseAttributesChange(); }
int LiveAdminSdk::WorldEject() { return SdkWorldEject(); }
int LiveAdminSdk::Teleport(int session) { return SdkTeleport(session); }
int LiveAdminSdk::UrlSend(int session, std::string_view url, std::string_view target) {
    return SdkUrlSend(session, url, target);
}
int LiveAdminSdk::AddressRequest(int session) { return SdkAddressRequest(session); }
int LiveAdminSdk::CitizenByNumber(int number) { return SdkCitizenByNumber(number); }
int LiveAdminSdk::CitizenByName(std::string_view name) { return SdkCitizenByName(name); }
int LiveAdminSdk::ObjectAdd() { return SdkObjectAdd(); }
int LiveAdminSdk::ObjectLoad() { return SdkObjectLoad(); }

int LiveAdminSdk::WorldEjectionAdd() { return SdkWorldEjectionAdd(); }
int LiveAdminSdk::WorldEjectionDelete() { return SdkWorldEjectionDelete(); }
int LiveAdminSdk::WorldEjectionLookup() { return SdkWorldEjectionLookup(); }
int LiveAdminSdk::WorldEjectionNext() { return SdkWorldEjectionNext(); }
int LiveAdminSdk::WorldEjectionPrevious() { return SdkWorldEjectionPrevious(); }
int LiveAdminSdk::UniverseEjectionAdd() { return SdkUniverseEjectionAdd(); }
int LiveAdminSdk::UniverseEjectionDelete(int address) { return SdkUniverseEjectionDelete(address); }
int LiveAdminSdk::UniverseEjectionLookup() { return SdkUniverseEjectionLookup(); }
int LiveAdminSdk::UniverseEjectionNext() { return SdkUniverseEjectionNext(); }
int LiveAdminSdk::UniverseEjectionPrevious() { return SdkUniverseEjectionPrevious(); }
