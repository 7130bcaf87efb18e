#pragma once

// The SDK's attribute, event and callback numbers, each defined once here. The numbers are the platform's; the
// names are ours. The client SDK and the universe server both use this header (it holds constants only, so the
// server does not link the SDK library).

#include <cstddef>

// ---------------------------------------------------------------------------------------------------------------
// Attributes. Kind: I integer (signed 32-bit), B boolean, S string (UTF-8; at most kMaxStringLength bytes unless the
// attribute is one of the long ones listed in AttributeMaxLength below).
// ---------------------------------------------------------------------------------------------------------------

// Login values, set before SdkLogin.
constexpr int kAttrLoginName = 0;     // S bot name, without brackets (others see it as "[name]")
constexpr int kAttrLoginCitizen = 2;  // I citizen number the bot logs in with
constexpr int kAttrLoginPassword = 3; // S that citizen's privilege password
constexpr int kAttrApplication = 6;   // S application name, e.g. "Gabbler Build 35"

// Universe attributes, filled by SdkLogin; written back by SdkUniverseAttributesChange (citizen 1 only).
constexpr int kAttrUniverseBrowserMinimum = 8;        // I oldest browser build allowed
constexpr int kAttrUniverseBrowserRelease = 9;        // I latest browser build
constexpr int kAttrUniverseBrowserBeta = 10;          // I beta browser build
constexpr int kAttrUniverseWorldMinimum = 11;         // I oldest world server build allowed
constexpr int kAttrUniverseWorldStart = 12;           // S default start world
constexpr int kAttrUniverseRegistrationRequired = 13; // B registration required (read only)
constexpr int kAttrUniverseBuild = 14;                // I the universe server's build (read only)
constexpr int kAttrUniverseTime = 18;                 // I universe time, seconds since 1970 (event 9)
constexpr int kAttrUniverseWelcomeMessage = 21;       // S welcome message
constexpr int kAttrUniverseWorldRelease = 22;         // I latest world server build
constexpr int kAttrUniverseWorldBeta = 23;            // I beta world server build
constexpr int kAttrUniverseAllowTourists = 24;        // B tourists may enter
constexpr int kAttrUniverseSearchUrl = 25;            // S search tab address

// Citizen record, filled by SdkCitizenByNumber / SdkCitizenByName (callback 6 or synchronous).
constexpr int kAttrCitizenNumber = 29;   // I citizen number
constexpr int kAttrCitizenName = 30;     // S citizen name as the universe spells it
constexpr int kAttrCitizenHomePage = 43; // S citizen's home-page address

// World attributes, filled on entry and by event 11; the writable ones go back with SdkWorldAttributesChange.
constexpr int kAttrWorldName = 44;                 // S name of the world the bot is in (read only)
constexpr int kAttrWorldTitle = 45;                // S title
constexpr int kAttrWorldBackdrop = 46;             // S backdrop
constexpr int kAttrWorldGround = 47;               // S ground
constexpr int kAttrWorldObjectPath = 48;           // S object path
constexpr int kAttrWorldObjectRefresh = 49;        // I object refresh
constexpr int kAttrWorldBuildRight = 50;           // S rights list: build
constexpr int kAttrWorldEminentDomainRight = 51;   // S rights list: eminent domain ("*" everyone)
constexpr int kAttrWorldEnterRight = 52;           // S rights list: enter
constexpr int kAttrWorldSpecialObjectsRight = 53;  // S rights list: special objects
constexpr int kAttrWorldBackdropRed = 54;          // I backdrop colour, red 0..255
constexpr int kAttrWorldBackdropGreen = 55;        // I backdrop colour, green
constexpr int kAttrWorldBackdropBlue = 56;         // I backdrop colour, blue
constexpr int kAttrWorldCaretaker = 57;            // B the bot is a caretaker here (computed by the server)
constexpr int kAttrWorldRestrictedRadius = 58;     // I restricted radius
constexpr int kAttrWorldPublicSpeaker = 59;        // B the bot is a public speaker here (computed)
constexpr int kAttrWorldPublicSpeakerRight = 60;   // S rights list: public speaker
constexpr int kAttrWorldHomePage = 62;             // S world home page
constexpr int kAttrWorldBuildNumber = 63;          // I world server build (read only)
constexpr int kAttrWorldDisableCreateUrl = 65;     // B true when creating URLs is forbidden
constexpr int kAttrWorldRating = 66;               // I 0 G, 1 PG, 2 R, 3 X
constexpr int kAttrWorldWelcomeMessage = 67;       // S welcome message
constexpr int kAttrWorldEjectRight = 68;           // S rights list: eject
constexpr int kAttrWorldEject = 69;                // B the bot has the eject right here (computed)
constexpr int kAttrWorldCellLimit = 70;            // I cell data limit (1500, 2500, 4000 or custom)
constexpr int kAttrWorldBuild = 71;                // B the bot has the build right here (computed)
constexpr int kAttrWorldAllowPassThrough = 72;     // B pass-through allowed
constexpr int kAttrWorldAllowFlying = 73;          // B flying allowed
constexpr int kAttrWorldAllowTeleport = 74;        // B local teleports allowed
constexpr int kAttrWorldAllowObjectSelect = 75;    // B object selection allowed
constexpr int kAttrWorldBotsRight = 76;            // S rights list: bots (world build 17 or more)
constexpr int kAttrWorldSpeech = 77;               // B the bot may speak here (computed)
constexpr int kAttrWorldSpeechRight = 78;          // S rights list: speech (world build 17 or more)
constexpr int kAttrWorldAllowTouristWhisper = 79;  // B tourists may whisper
constexpr int kAttrWorldAvatarCollision = 89;      // B avatar collision enabled
constexpr int kAttrWorldMaxUsers = 94;             // I most people at once (read only)
constexpr int kAttrWorldSize = 95;                 // I size; the world is 20 * size metres square (read only)
constexpr int kAttrWorldObjectCount = 96;          // I objects built in the world (read only)
constexpr int kAttrWorldExpiration = 97;           // I expiry, seconds since 1970, 0 never (read only)
constexpr int kAttrWorldSpecialCommandsRight = 98; // S rights list: special commands (world build 28 or more)
constexpr int kAttrWorldMaxLightRadius = 99;       // I maximum light radius
constexpr int kAttrWorldSkybox = 100;              // S skybox
constexpr int kAttrWorldMinimumVisibility = 101;   // I minimum visibility
constexpr int kAttrWorldRepeatingGround = 102;     // B repeating ground
constexpr int kAttrWorldKeywords = 103;            // S search keywords
constexpr int kAttrWorldEnableTerrain = 104;       // B terrain enabled
constexpr int kAttrWorldRotation = 105;            // B three-axis rotation enabled
constexpr int kAttrWorldEntryPoint = 107;          // S entry point, coordinate text

// The bot's own position and look, committed by SdkStateChange.
constexpr int kAttrMyX = 198;    // I west-east, centimetres, west positive
constexpr int kAttrMyY = 199;    // I altitude, centimetres
constexpr int kAttrMyZ = 200;    // I north-south, centimetres, north positive
constexpr int kAttrMyYaw = 201;  // I facing, tenths of a degree (0 north, 900 west, 1800 south, 2700 east)
constexpr int kAttrMyType = 203; // I avatar model number (0..250 ordinary, others special)

// Another avatar, in events 0, 1, 2, 6, 20, 21 and callback 17.
constexpr int kAttrAvatarSession = 206;   // I session number
constexpr int kAttrAvatarName = 207;      // S name as shown: "[bot]", "\"tourist\"" or citizen name
constexpr int kAttrAvatarX = 208;         // I west-east
constexpr int kAttrAvatarY = 209;         // I altitude
constexpr int kAttrAvatarZ = 210;         // I north-south
constexpr int kAttrAvatarYaw = 211;       // I facing
constexpr int kAttrAvatarType = 213;      // I avatar model number
constexpr int kAttrAvatarAddress = 216;   // I IPv4 address in network byte order (callback 17)
constexpr int kAttrAvatarBuild = 217;     // I browser build, 0 unknown
constexpr int kAttrAvatarCitizen = 218;   // I citizen number, 0 none
constexpr int kAttrAvatarPrivilege = 219; // I citizen whose privileges it uses, 0 none

// Chat, event 6.
constexpr int kAttrChatSession = 222; // I speaker's session
constexpr int kAttrChatMessage = 223; // S the text
constexpr int kAttrChatType = 251;    // I 0 said, 1 said by a public speaker (bold), 2 whispered to the bot

// Objects, SdkObjectAdd / SdkObjectLoad, callback 3.
constexpr int kAttrObjectX = 232;           // I west-east
constexpr int kAttrObjectY = 233;           // I altitude
constexpr int kAttrObjectZ = 234;           // I north-south
constexpr int kAttrObjectYaw = 235;         // I facing
constexpr int kAttrObjectModel = 238;       // S model name
constexpr int kAttrObjectDescription = 239; // S description
constexpr int kAttrObjectAction = 240;      // S action
constexpr int kAttrObjectOwner = 244;       // I owner citizen (SdkObjectLoad)
constexpr int kAttrObjectTimestamp = 246;   // I creation time, seconds since 1970 (SdkObjectLoad)
constexpr int kAttrObjectNumber = 248;      // I 0 for a new object; the server's number for it after callback 3

// World list, event 12 and callback 9.
constexpr int kAttrWorldListName = 266;   // S world name
constexpr int kAttrWorldListStatus = 267; // I 1 open, 2 private, 3 gone
constexpr int kAttrWorldListUsers = 268;  // I people in it
constexpr int kAttrWorldListMore = 270;   // B more of the list to come (call SdkWorldList again)

// Ejecting one person, SdkWorldEject.
constexpr int kAttrEjectSession = 271;  // I session to eject
constexpr int kAttrEjectDuration = 272; // I seconds

// Ejection databases, callbacks 15, 16, 18, 19.
constexpr int kAttrEjectionType = 273;       // I world only: 0 IP address, 1 computer id, 2 citizen number
constexpr int kAttrEjectionAddress = 274;    // I key: IPv4 in network byte order, or the number
constexpr int kAttrEjectionExpiration = 275; // I seconds since 1970, 0 never
constexpr int kAttrEjectionCreation = 276;   // I seconds since 1970, set by the server (read only)
constexpr int kAttrEjectionComment = 277;    // S comment

constexpr int kAttrDisconnectReason = 278; // I reason code of event 13

constexpr int kAttrClickedSession = 285; // I session that was clicked (event 20)
constexpr int kAttrUrl = 287;            // S address (event 21)
constexpr int kAttrUrlTarget = 288;      // S target frame, "3d_window" or empty (event 21)

// Teleporting another person, SdkTeleport.
constexpr int kAttrTeleportWorld = 291; // S target world, empty for the current one
constexpr int kAttrTeleportX = 292;     // I west-east
constexpr int kAttrTeleportY = 293;     // I altitude
constexpr int kAttrTeleportZ = 294;     // I north-south
constexpr int kAttrTeleportYaw = 295;   // I facing
constexpr int kAttrTeleportWarp = 296;  // B move without the teleport effect

constexpr int kAttrEnterGlobal = 328; // B ask for global mode before SdkEnter; after it, whether it was granted

// Console messages, SdkConsoleMessage and event 29.
constexpr int kAttrConsoleRed = 329;     // I 0..255
constexpr int kAttrConsoleGreen = 330;   // I 0..255
constexpr int kAttrConsoleBlue = 331;    // I 0..255
constexpr int kAttrConsoleBold = 332;    // B bold
constexpr int kAttrConsoleItalics = 333; // B italic
constexpr int kAttrConsoleMessage = 334; // S the text

// Our own number: the computer id of the person of an address request (callback 17), what a computer-id world
// ejection (type 1) takes as its key; 0 when the person's client sent none.
constexpr int kAttrAvatarComputerId = 335;

// Our own numbers: a chat-pane line as another Gabbler showed it (event 30), which a bot that windows attach to
// replays to them: the lines it heard while they were away, and what one window said, for the others.
constexpr int kAttrPaneLineText = 336;    // S the line's text (up to the long limit)
constexpr int kAttrPaneLineColour = 337;  // I 0xRRGGBB
constexpr int kAttrPaneLineStyle = 338;   // I kPaneLineBold | kPaneLineItalic | kPaneLineUnderline | kPaneLineTimed
constexpr int kAttrPaneLineTime = 339;    // I when the line was shown, seconds since 1970
constexpr int kAttrPaneLineKind = 340;    // I chat 0, whisper 1, console 2, notice 3, own 4
constexpr int kAttrPaneLineSpeaker = 341; // S who spoke, empty when nobody did
constexpr int kAttrPaneLineFlags = 342;   // I what the pane's view filters know the line by

// Our own number: in event 0, true when the person was there already and comes into view because the bot entered
// the world or moved, false when the person came (entered, or walked into the bot's view).
constexpr int kAttrAvatarAlreadyThere = 343; // B
// Our own number: in event 2, true when the person is still in the world and goes out of view because the bot moved
// or left, false when the person went (left the world, or walked out of the bot's view).
constexpr int kAttrAvatarStillThere = 344; // B

constexpr int kPaneLineBold = 1;
constexpr int kPaneLineItalic = 2;
constexpr int kPaneLineUnderline = 4;
constexpr int kPaneLineTimed = 8; // the time went in front of the text

constexpr int kAttributeCount = 345; // attribute numbers are 0 .. kAttributeCount - 1

// ---------------------------------------------------------------------------------------------------------------
// Events (SdkSetEventHandler). What each carries is listed with it.
// ---------------------------------------------------------------------------------------------------------------
constexpr int kEventAvatarAdd = 0;        // 206-211, 213, 217-219, 343
constexpr int kEventAvatarChange = 1;     // 206, 207, 208-211, 213
constexpr int kEventAvatarDelete = 2;     // 206, 207, 344
constexpr int kEventChat = 6;             // 222, 207, 223, 251
constexpr int kEventUniverseTime = 9;     // 18
constexpr int kEventWorldAttributes = 11; // 44 .. 107 and the bot's rights 57, 59, 69, 71, 77
constexpr int kEventWorldInfo = 12;       // 266, 267, 268
constexpr int kEventWorldDisconnect = 13; // 278 (471 connection lost, the SDK then reconnects; 466 ejected)
constexpr int kEventAvatarClick = 20;     // 206 and 207 of the clicker, 285
constexpr int kEventUrl = 21;             // 206 and 207 of the sender, 287, 288
constexpr int kEventConsoleMessage = 29;  // 329-334
// Our own number: someone moved the bot with SdkTeleport. 198-201 hold the new place; 291 is empty when the server
// already moved it within this world, else the world it was sent to (the bot decides whether to go).
constexpr int kEventTeleport = 22;
// Our own number: a chat-pane line to show as it was shown before, 336-342.
constexpr int kEventPaneLine = 30;

constexpr int kEventCount = 32; // event numbers are 0 .. kEventCount - 1

// ---------------------------------------------------------------------------------------------------------------
// Callbacks (SdkSetCallbackHandler). A request whose callback has a handler returns at once and reports later.
// ---------------------------------------------------------------------------------------------------------------
constexpr int kCallbackEnterResult = 2;             // SdkEnter; world attributes as in event 11, 328
constexpr int kCallbackObjectResult = 3;            // SdkObjectAdd, SdkObjectLoad; 248
constexpr int kCallbackCitizenResult = 6;           // SdkCitizenByNumber, SdkCitizenByName; 29, 30, 43
constexpr int kCallbackWorldListResult = 9;         // SdkWorldList; 270
constexpr int kCallbackUniverseEjectionLookup = 15; // SdkUniverseEjectionLookup/Next/Previous; 274-277
constexpr int kCallbackUniverseEjectionResult = 16; // SdkUniverseEjectionAdd/Delete
constexpr int kCallbackAddressResult = 17;          // SdkAddressRequest; 206, 216, 335
constexpr int kCallbackWorldEjectionLookup = 18;    // SdkWorldEjectionLookup/Next/Previous; 273-277
constexpr int kCallbackWorldEjectionResult = 19;    // SdkWorldEjectionAdd/Delete

constexpr int kCallbackCount = 32; // callback numbers are 0 .. kCallbackCount - 1

// ---------------------------------------------------------------------------------------------------------------
// Kinds and lengths.
// ---------------------------------------------------------------------------------------------------------------
enum class AttributeKind : unsigned char { None, Int, Bool, String };

constexpr std::size_t kMaxStringLength = 255;      // ordinary string attributes
constexpr std::size_t kMaxLongStringLength = 2000; // rights lists and ejection comments
// World names: what the client's world fields let anyone type, in characters as text fields count them (UTF-16
// units). The universe creates no world with a longer name, so a name the program fills in always fits.
constexpr std::size_t kMaxWorldNameLength = 8;

// The kind of an attribute number; None for numbers the SDK does not know.
constexpr AttributeKind KindOfAttribute(int attribute) {
    switch (attribute) {
    case kAttrLoginName:
    case kAttrLoginPassword:
    case kAttrApplication:
    case kAttrUniverseWorldStart:
    case kAttrUniverseWelcomeMessage:
    case kAttrUniverseSearchUrl:
    case kAttrCitizenName:
    case kAttrCitizenHomePage:
    case kAttrWorldName:
    case kAttrWorldTitle:
    case kAttrWorldBackdrop:
    case kAttrWorldGround:
    case kAttrWorldObjectPath:
    case kAttrWorldBuildRight:
    case kAttrWorldEminentDomainRight:
    case kAttrWorldEnterRight:
    case kAttrWorldSpecialObjectsRight:
    case kAttrWorldPublicSpeakerRight:
    case kAttrWorldHomePage:
    case kAttrWorldWelcomeMessage:
    case kAttrWorldEjectRight:
    case kAttrWorldBotsRight:
    case kAttrWorldSpeechRight:
    case kAttrWorldSpecialCommandsRight:
    case kAttrWorldSkybox:
    case kAttrWorldKeywords:
    case kAttrWorldEntryPoint:
    case kAttrAvatarName:
    case kAttrChatMessage:
    case kAttrObjectModel:
    case kAttrObjectDescription:
    case kAttrObjectAction:
    case kAttrWorldListName:
    case kAttrEjectionComment:
    case kAttrUrl:
    case kAttrUrlTarget:
    case kAttrTeleportWorld:
    case kAttrConsoleMessage:
    case kAttrPaneLineText:
    case kAttrPaneLineSpeaker:
        return AttributeKind::String;
    case kAttrUniverseRegistrationRequired:
    case kAttrUniverseAllowTourists:
    case kAttrWorldCaretaker:
    case kAttrWorldPublicSpeaker:
    case kAttrWorldDisableCreateUrl:
    case kAttrWorldEject:
    case kAttrWorldBuild:
    case kAttrWorldAllowPassThrough:
    case kAttrWorldAllowFlying:
    case kAttrWorldAllowTeleport:
    case kAttrWorldAllowObjectSelect:
    case kAttrWorldSpeech:
    case kAttrWorldAllowTouristWhisper:
    case kAttrWorldAvatarCollision:
    case kAttrWorldRepeatingGround:
    case kAttrWorldEnableTerrain:
    case kAttrWorldRotation:
    case kAttrWorldListMore:
    case kAttrTeleportWarp:
    case kAttrEnterGlobal:
    case kAttrConsoleBold:
    case kAttrConsoleItalics:
    case kAttrAvatarAlreadyThere:
    case kAttrAvatarStillThere:
        return AttributeKind::Bool;
    case kAttrLoginCitizen:
    case kAttrUniverseBrowserMinimum:
    case kAttrUniverseBrowserRelease:
    case kAttrUniverseBrowserBeta:
    case kAttrUniverseWorldMinimum:
    case kAttrUniverseBuild:
    case kAttrUniverseTime:
    case kAttrUniverseWorldRelease:
    case kAttrUniverseWorldBeta:
    case kAttrCitizenNumber:
    case kAttrWorldObjectRefresh:
    case kAttrWorldBackdropRed:
    case kAttrWorldBackdropGreen:
    case kAttrWorldBackdropBlue:
    case kAttrWorldRestrictedRadius:
    case kAttrWorldBuildNumber:
    case kAttrWorldRating:
    case kAttrWorldCellLimit:
    case kAttrWorldMaxUsers:
    case kAttrWorldSize:
    case kAttrWorldObjectCount:
    case kAttrWorldExpiration:
    case kAttrWorldMaxLightRadius:
    case kAttrWorldMinimumVisibility:
    case kAttrMyX:
    case kAttrMyY:
    case kAttrMyZ:
    case kAttrMyYaw:
    case kAttrMyType:
    case kAttrAvatarSession:
    case kAttrAvatarX:
    case kAttrAvatarY:
    case kAttrAvatarZ:
    case kAttrAvatarYaw:
    case kAttrAvatarType:
    case kAttrAvatarAddress:
    case kAttrAvatarComputerId:
    case kAttrAvatarBuild:
    case kAttrAvatarCitizen:
    case kAttrAvatarPrivilege:
    case kAttrChatSession:
    case kAttrChatType:
    case kAttrObjectX:
    case kAttrObjectY:
    case kAttrObjectZ:
    case kAttrObjectYaw:
    case kAttrObjectOwner:
    case kAttrObjectTimestamp:
    case kAttrObjectNumber:
    case kAttrWorldListStatus:
    case kAttrWorldListUsers:
    case kAttrEjectSession:
    case kAttrEjectDuration:
    case kAttrEjectionType:
    case kAttrEjectionAddress:
    case kAttrEjectionExpiration:
    case kAttrEjectionCreation:
    case kAttrDisconnectReason:
    case kAttrClickedSession:
    case kAttrTeleportX:
    case kAttrTeleportY:
    case kAttrTeleportZ:
    case kAttrTeleportYaw:
    case kAttrConsoleRed:
    case kAttrConsoleGreen:
    case kAttrConsoleBlue:
    case kAttrPaneLineColour:
    case kAttrPaneLineStyle:
    case kAttrPaneLineTime:
    case kAttrPaneLineKind:
    case kAttrPaneLineFlags:
        return AttributeKind::Int;
    default:
        return AttributeKind::None;
    }
}

// The most bytes a string attribute may hold (SdkSetString answers 450 beyond it; the server refuses longer
// values with 450 as well). Rights lists can name many citizens, so they get the long limit.
constexpr std::size_t AttributeMaxLength(int attribute) {
    switch (attribute) {
    case kAttrWorldBuildRight:
    case kAttrWorldEminentDomainRight:
    case kAttrWorldEnterRight:
    case kAttrWorldSpecialObjectsRight:
    case kAttrWorldPublicSpeakerRight:
    case kAttrWorldEjectRight:
    case kAttrWorldBotsRight:
    case kAttrWorldSpeechRight:
    case kAttrWorldSpecialCommandsRight:
    case kAttrEjectionComment:
    case kAttrPaneLineText:
        return kMaxLongStringLength;
    default:
        return kMaxStringLength;
    }
}
