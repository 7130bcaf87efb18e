#include "places/PlacesSdk.h"

#include "sdk/Attributes.h"

Position ReadBotPosition(PlacesSdk &sdk) {
    return {sdk.GetInt(kAttrMyX), sdk.GetInt(kAttrMyY), sdk.GetInt(kAttrMyZ), sdk.GetInt(kAttrMyYaw)};
}
