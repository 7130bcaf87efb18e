// Kept apart from PlacesSdk.cpp so that programs using only a stand-in store do not link the SDK.
#include "places/PlacesSdk.h"
#include "sdk/Sdk.h"

int LivePlacesSdk::GetInt(int attribute) { return SdkGetInt(attribute); }

bool LivePlacesSdk::GetBool(int attribute) { return SdkGetBool(attribute); }

std::string LivePlacesSdk::GetString(int attribute) { return SdkGetString(attribute); }

int LivePlacesSdk::SetInt(int attribute, int value) { return SdkSetInt(attribute, value); }

int LivePlacesSdk::StateChange() { return SdkStateChange(); }
