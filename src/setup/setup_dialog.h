#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/key_table.h"
#include "settings/settings_store.h"

class QLineEdit;
class QPushButton;
class QScrollBar;
class QTabWidget;
class QWidget;

namespace larkspill {

class SettingsPage;
class TextPage;

// Returns the names of the screen fonts; asked only when the font list is filled.
using FontSource = std::function<QStringList()>;
// Opens a web address in the desktop's browser.
using UrlOpener = std::function<void(const QString&)>;

// The real font source and URL opener of the desktop. The fonts are fontconfig's families, the
// names the saver's font lookup finds again.
QStringList ScreenFontFamilies();
void OpenUrlOnDesktop(const QString& url);

// The two pages that ship with the program, in its data folder: what Larkspill is and how to add
// it to a screen-saver host; every setting explained and what to do when something goes wrong.
inline constexpr const char* kHomePage = "index.htm";
inline constexpr const char* kSupportPage = "support.htm";
// The file address of a page in the data folder `dir`.
QString PageUrl(const std::string& dir, const char* page);

// The Control Box: two pages that show every setting and write each one to the store the moment
// its control changes. There is no apply and no cancel; closing keeps what has been written.
class SetupDialog : public QDialog {
  Q_OBJECT

 public:
  // `asset_dir` is the data folder: the dialog's small pictures (the frames stay plain without
  // them) and the two pages.
  SetupDialog(SettingsStore& store, std::string asset_dir, FontSource fonts, UrlOpener open_url,
              QWidget* parent = nullptr);

  // The text the about box shows, naming `home_page` as the website; lines separated and ended
  // by "\r\n".
  static QString AboutText(const QString& home_page);

  // Shows what the store holds now and brings the window to the front: what a second start of
  // the dialog does instead of opening another one.
  void BringToFront();

 protected:
  // Coming back to the dialog shows the store as it is now: the saver's first start or a hand
  // edit may have changed it while the dialog was in the background.
  void changeEvent(QEvent* event) override;

 private:
  // The window: the two pages on their tabs, the button bar, the Tab order.
  void BuildControls();
  void BuildButtonBar();
  void SetTabOrder();

  // How a control shows its setting and when it writes it back.
  enum class Kind {
    Check,     // a switch ticked only at exactly 1, written "1" or "0" when clicked
    Switch,    // a switch ticked at anything but 0 as the saver reads it; shown without a write
    Bar,       // a scroll bar, written as it moves; shown at the nearest end when out of range
    Text,      // a text box, written on every change
    PickList,  // a list that writes only an entry the user picks
  };
  enum class WriteRule {
    OnChange,           // as the value changes, also while the thumb is dragged
    WhenThumbRests,     // a bar written when its thumb comes to rest, not during a drag
    WithScrollSeconds,  // the scroll-through minutes, written with the same time in seconds
  };
  // One control and the setting it shows: what loading, every write and the wiring go by.
  struct Binding {
    QWidget* control;
    Key key;
    Kind kind;
    WriteRule rule = WriteRule::OnChange;
    QLineEdit* companion = nullptr;  // shows a bar's value
  };

  // The bindings in loading order, each connected to the one write path.
  void BindControls();
  void ConnectButtons();
  // Shows what the store holds now in every control; a control that changes writes as usual.
  void ShowStore();
  void Show(const Binding& binding);
  void Write(const Binding& binding, const QString& value);
  static QString ValueOf(const Binding& binding);

  // Scroll bars: `change` runs when the value changes other than by dragging and once when a
  // drag ends; while the thumb is dragged it runs for each value when `while_dragged`.
  void ConnectScrollBar(QScrollBar* bar, bool while_dragged, std::function<void()> change);

  // The special cases: the font list behind the fast-start box, the clock corner, the
  // scroll-through time also written in seconds.
  void ShowFastStart();
  void FastStartClicked();
  void FontPicked();
  void ShowClockCorner();
  void CornerPicked(int index);
  void WriteScrollSeconds(const QString& minutes);

  void OpenHomePage();
  void OpenSupportPage();
  void ShowAbout();

  // Fills the font list with the screen fonts, sorted, and selects the stored position.
  void LoadFonts();
  // Selects the font list entry at a position, or with a name; anything not in the list leaves
  // the selection as it is.
  void SelectFontAt(int position);
  void SelectFontNamed(const QString& stored);
  void Navigate(const QString& url);

  void Save(Key key, const QString& value);
  int16_t ReadNumber(Key key);
  QString ReadString(Key key);

  SettingsStore& store_;
  std::string asset_dir_;
  FontSource fonts_;
  UrlOpener open_url_;

  std::vector<Binding> bindings_;

  QTabWidget* tabs_ = nullptr;
  QWidget* button_bar_ = nullptr;

  SettingsPage* settings_ = nullptr;
  TextPage* text_ = nullptr;

  QPushButton* website_button_ = nullptr;
  QPushButton* help_button_ = nullptr;
  QPushButton* about_button_ = nullptr;
  QPushButton* ok_button_ = nullptr;
};

}  // namespace larkspill
