// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// User-visible texts of the program, looked up by number.
#include <QString>
#include <QVariant>

#include <initializer_list>

namespace res {
inline constexpr int EngineMail = 65200;
inline constexpr int RegexHelpUrl = 65201;
inline constexpr int SpecialCharsHint = 65202;
inline constexpr int TextNotFound = 65217;
inline constexpr int PatternNotFound = 65218;
inline constexpr int FindEqualsReplace = 65219;
inline constexpr int ReplacementsDone = 65220;
inline constexpr int ReplacementDone = 65221;
inline constexpr int FindCaption = 65222;
inline constexpr int ReplaceCaption = 65223;
inline constexpr int ReplacePrompt = 65224;
inline constexpr int RecordingNotice = 65228;
inline constexpr int EngineCreditLabel = 65229;
inline constexpr int EngineCredit = 65230;
inline constexpr int EngineUrl = 65231;
inline constexpr int AllFilesFilter = 65233;
inline constexpr int ProductName = 65238;
inline constexpr int ProductUrl = 65239;
inline constexpr int CompanyWord = 65240;
inline constexpr int VersionFormat = 65245;
} // namespace res

// The text of resource string Id; empty for an unknown number.
QString LoadResString(int id);

// Delphi-style formatting: %s, %d (also %u, %x) and %% in order of the
// arguments; what a format names beyond the arguments stays empty.
QString Format(const QString &format, std::initializer_list<QVariant> args);

// Format with a resource string as the template.
QString FormatRes(int id, std::initializer_list<QVariant> args);
