#pragma once

// Menu commands and controls of the main window that the session enables, disables or fills. The numbers are the
// window's own identifiers, kept so the enabling rules read the same everywhere.
namespace Command {
inline constexpr int Exit = 32772;
inline constexpr int Teleport = 32776;
inline constexpr int MoveNorth = 32786;
inline constexpr int MoveSouth = 32787;
inline constexpr int MoveWest = 32788;
inline constexpr int MoveEast = 32789;
inline constexpr int MoveUp = 32804;
inline constexpr int MoveDown = 32805;
inline constexpr int FaceNorth = 32806;
inline constexpr int FaceWest = 32807;
inline constexpr int FaceSouth = 32808;
inline constexpr int FaceEast = 32809;
inline constexpr int Remember = 32798;
inline constexpr int Feedback = 32795;
inline constexpr int SaveLog = 32773;
inline constexpr int ClearBuffer = 32778;
// The chat pane's view filters: toggles of the Log menu, always available.
inline constexpr int HideAutoAnswers = 32850;
inline constexpr int OnlyWhispers = 32851;
inline constexpr int HideEnterExit = 32852;
inline constexpr int Settings = 32784;
inline constexpr int WorldFeatures = 32782;
inline constexpr int WorldRights = 32783;
inline constexpr int WorldEjections = 32816;
inline constexpr int UniverseOptions = 32780;
inline constexpr int UniverseEjections = 32817;
inline constexpr int CitLookup = 32777;
inline constexpr int ChangeAvatar = 32779;
inline constexpr int Planter = 32775;
inline constexpr int LoadObject = 32810;
inline constexpr int About = 32774;
inline constexpr int Contents = 32785;
inline constexpr int ReleaseNotes = 32799;
// Beyond the original window's numbers.
inline constexpr int SearchHistory = 32900;
inline constexpr int Visitors = 32901;
inline constexpr int Login = 32902; // File, Login...: the login dialog again and a new start
inline constexpr int Rules = 32903; // Options, Rules...: the rules the bot follows by itself
} // namespace Command

namespace Control {
inline constexpr int SayBox = 1006;
inline constexpr int WhisperBox = 1007;
inline constexpr int RightsBox = 1089;
inline constexpr int ShowMap = 1106;
inline constexpr int HideMap = 1107;
} // namespace Control
