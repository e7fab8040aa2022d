// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Command identifiers of the menus, the accelerators and the about box.

namespace command_id {
inline constexpr int saveText = 32771;
inline constexpr int saveExcel = 32772;
inline constexpr int exportGraph = 32773;
inline constexpr int helpTopic = 32774;
inline constexpr int statistics = 32775;
inline constexpr int appExit = 57665;
inline constexpr int appAbout = 57664;
inline constexpr int fileNew = 57600;
inline constexpr int fileOpen = 57601;
inline constexpr int fileSave = 57603;
inline constexpr int fileMru1 = 57616; // the recent files, 57616 to 57619
inline constexpr int editCopy = 57634;
inline constexpr int editCut = 57635;
inline constexpr int editPaste = 57637;
inline constexpr int editUndo = 57643;
inline constexpr int nextPane = 57680;
inline constexpr int previousPane = 57681;
inline constexpr int statusBar = 59393;
} // namespace command_id
