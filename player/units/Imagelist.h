// The button images of the main window, drawn at run time so that they stay
// sharp at every size, and the few steps that complete the main window's
// form resource after setupUi (what a Designer file cannot say).
//
// Each tool button of the form names its image list in the dynamic property
// "ImageList" ("Start" for the play button, "Tool" for every other button)
// and its current image in "ImageIndex". SetButtonImage changes both the
// icon and "ImageIndex", so the handlers can test which image a button shows
// (play or pause, skip forward or backward, frame step forward or backward).
#pragma once

#include <QIcon>
#include <QString>

class QMainWindow;
class QToolButton;

enum class TImageList { Start, Tool };

// Images of the play button's list.
namespace StartImage {
constexpr int Play = 0;
constexpr int PlayDown = 1;     // play, pressed look
constexpr int Pause = 2;
constexpr int PauseDown = 3;    // pause, pressed look
constexpr int ResumeDown = 4;   // DVD resume, pressed look
constexpr int Resume = 5;       // DVD resume (play from where the disc stopped)
constexpr int Count = 6;
}  // namespace StartImage

// Images of the list shared by every other button.
namespace ToolImage {
constexpr int Open = 0;
constexpr int Stop = 1;
constexpr int Rewind = 2;
constexpr int StepBackward = 3;
constexpr int StepForward = 4;   // the frame-step button's normal image
constexpr int SkipForward = 5;   // the skip button's normal image
constexpr int SkipBackward = 6;
constexpr int FastForward = 7;
constexpr int Previous = 8;
constexpr int Next = 9;
constexpr int PlayList = 10;
constexpr int Library = 11;
constexpr int Folder = 12;
constexpr int Power = 13;        // drawn lit while the button is checked
constexpr int Windows = 14;
constexpr int Count = 15;
}  // namespace ToolImage

// Number of images in a list.
int ImageCount(TImageList list);
// The image; a null icon for an index outside the list.
QIcon ListImage(TImageList list, int index);
// The list a button draws from (its "ImageList" property; Tool when unset).
TImageList ButtonImageList(const QToolButton* button);

// Shows image `index` of the button's list and records the index in the
// button's "ImageIndex" property. An index outside the list clears the icon
// and records -1.
void SetButtonImage(QToolButton* button, int index);
// The index recorded by SetButtonImage or the form resource; -1 when none.
int ButtonImageIndex(const QToolButton* button);

// The program's own icon (window and task bar).
QIcon ZoravelIcon();

// Completes the main window's form after setupUi:
// - every tool button that has an "ImageIndex" shows that image;
// - every sub-menu's item (its menuAction) takes the menu's objectName, so
//   a sub-menu is found and handled like any other item (findChild<QAction*>),
//   and takes over the menu's "Tag"; a menu marked "ItemVisible" false gets a
//   hidden item.
// Safe to run twice.
void ApplyFormDesign(QMainWindow* form);
