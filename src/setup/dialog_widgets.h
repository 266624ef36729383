#pragma once

#include <QFont>
#include <QGroupBox>
#include <QString>
#include <QStringList>
#include <string>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class QStyle;

namespace larkspill {

// The dialog's building blocks: named controls placed where the form has them.

// The page is laid out for a desktop font of about 8 points, the size whose widest labels (those
// with a gap for a control) just fit their frames. A larger desktop font is brought down, in the
// same family, to the largest size at which they fit, so no label is cut off.
QFont FittedFont(QFont font);

// Creates a named control. Controls inside a frame get the plain font back, since the frame's
// own font is bold for its caption.
template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)..., parent);
  w->setObjectName(QString::fromLatin1(name));
  if (qobject_cast<QGroupBox*>(parent) != nullptr) {
    QFont plain = w->font();
    plain.setBold(false);
    w->setFont(plain);
  }
  return w;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                     int h);
// A label that keeps its runs of spaces: some labels leave a gap for a control to sit in.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y);
QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text, int x, int y);
// A scroll bar stepped by 1, also by a page, at its minimum.
QScrollBar* MakeBar(QWidget* parent, const char* name, Qt::Orientation orientation, int minimum,
                    int maximum);
// A vertical bar with its largest value at the top.
QScrollBar* MakeUpsideDownBar(QWidget* parent, const char* name, int minimum, int maximum);
// A box that only shows a bar's value.
QLineEdit* MakeCompanion(QWidget* parent, const char* name);
// Lays out a row of a horizontal bar `bar_width` wide at (x, y) and the box showing its value,
// `shown_width` wide, just right of it on the same line.
void PlaceBarRow(QScrollBar* bar, QLineEdit* shown, int x, int y, int bar_width, int shown_width);
// Places `control` over the run of spaces in `label` that follows the text `before`, centred
// on the label's line.
void PlaceInGap(QWidget* control, const QLabel* label, const char* before, int spaces, int height);
QComboBox* MakePickList(QWidget* parent, const char* name, const QStringList& entries);
// Shows a stored text in a pick list; nothing is written.
void ShowInPickList(QComboBox* list, const QString& text);
// A framed picture from the data folder `asset_dir`; a plain frame without it.
QLabel* MakePicture(QWidget* parent, const char* name, const std::string& asset_dir,
                    const char* file, int x, int y, int w, int h);
// One style for every dialog control that needs its changes.
QStyle* DialogControlStyle();

}  // namespace larkspill
