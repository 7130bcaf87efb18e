#pragma once

// The result codes the universe answers with (the SDK's reason-text numbers), and the world server builds from
// which each feature exists.

constexpr int kResultNoSuchCitizen = 3;
constexpr int kResultWorldNameRequired = 24;
constexpr int kResultNoSuchWorld = 27;
constexpr int kResultNotLoggedIn = 31;
constexpr int kResultUnauthorized = 32;
constexpr int kResultWorldExists = 33;
constexpr int kResultBadPassword = 43;
constexpr int kResultUnableToAddEjection = 63;
constexpr int kResultNoSuchEjection = 66;
constexpr int kResultNoSuchSession = 67;
constexpr int kResultNoRightToBuild = 110;
constexpr int kResultNameTooShort = 113;
constexpr int kResultNameInvalid = 108;
constexpr int kResultCannotChangeAttribute = 210;
constexpr int kResultInvalidRequest = 213;
constexpr int kResultObjectTypeInvalid = 301;
constexpr int kResultUnableToStore = 305;
constexpr int kResultOutOfBounds = 311;
constexpr int kResultNotInWorld = 405;
constexpr int kResultInvalidWorldName = 406;
constexpr int kResultWorldNameTooLong = 423;
constexpr int kResultTypeMismatch = 449;
constexpr int kResultStringTooLong = 450;
constexpr int kResultWorldFull = 465;
constexpr int kResultEjected = 466;
constexpr int kResultTouristsNotAllowed = 84;
constexpr int kResultNotWelcome = 467;
constexpr int kResultNotAvailable = 474;
constexpr int kResultInvalidArgument = 505;

// Features the world server offers from a given build on; below it the server answers 474 "not available",
// exactly where the client greys the matching command.
constexpr int kBuildWhisper = 17;
constexpr int kBuildSpeechRights = 17;
constexpr int kBuildClick = 21;
constexpr int kBuildObjectLoad = 21;
constexpr int kBuildTeleportUser = 23;
constexpr int kBuildEjectionDatabase = 23;
constexpr int kBuildGlobalMode = 39;
