#pragma once

#include <QString>

namespace kvx {

class AppFolder;

// Topics of the help file, handed to the help viewer with the file.
namespace HelpTopic {
constexpr int MainFrame = 16000001;
constexpr int ConditionEditor = 16000010;
constexpr int ExchangeWindow = 16000011;
} // namespace HelpTopic

// "\help\kvx.chm" below the parent folder of the application folder.
QString helpFilePath(const AppFolder& folder);

// A work window's own topic, kept as a property of the window so that F1 on the frame finds
// the topic of the active window.
inline constexpr char kHelpContextProperty[] = "helpContextId";
} // namespace kvx
