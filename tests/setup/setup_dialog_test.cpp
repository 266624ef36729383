// Drives the Control Box through its controls, found by object name, against a store in memory.
#include "setup/setup_dialog.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <fontconfig/fontconfig.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <QtWidgets>

#include "fakes/fake_clock.h"
#include "fakes/fake_display.h"
#include "fakes/fake_window_system.h"
#include "fakes/memory_store.h"
#include "fakes/recording_sound_device.h"
#include "platform/fonts/font_lookup.h"
#include "scene/saver_window.h"
#include "settings/key_table.h"
#include "setup/dialog_widgets.h"
#include "setup/single_dialog.h"

namespace larkspill {

// Fonts as a desktop might list them: unsorted, mixed case.
const QStringList kFonts = {"Verdana", "Arial", "courier New", "DejaVu Sans", "Liberation Serif"};

// The families of the face in a font file, as the file itself names them.
static QStringList FamiliesInFile(const FontFile& file) {
  QStringList families;
  FcPattern* face = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(file.path.c_str()),
                                    static_cast<unsigned>(file.index), nullptr, nullptr);
  FcChar8* family = nullptr;
  for (int i = 0; face && FcPatternGetString(face, FC_FAMILY, i, &family) == FcResultMatch; ++i)
    families.append(QString::fromUtf8(reinterpret_cast<const char*>(family)));
  if (face != nullptr) FcPatternDestroy(face);
  return families;
}

// A part of a scroll bar (the thumb unless said), in the bar's coordinates, from the bar's own
// style option.
static QRect ThumbRect(QScrollBar* bar, QStyle::SubControl part = QStyle::SC_ScrollBarSlider) {
  struct Peek : QScrollBar {
    using QScrollBar::initStyleOption;
  };
  QStyleOptionSlider o;
  (bar->*&Peek::initStyleOption)(&o);
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &o, part, bar);
}

class SetupDialogTest : public QObject {
  Q_OBJECT

 private:
  MemoryStore store_;
  std::unique_ptr<SetupDialog> dialog_;
  int font_calls_ = 0;
  QStringList font_list_;
  QStringList opened_;

  // Opens the dialog on the store as it is now and forgets the writes made so far.
  void Open(bool forget_load_writes = true) {
    dialog_ = std::make_unique<SetupDialog>(
        store_, "/opt/larkspill data/share", [this] { return ++font_calls_, font_list_; },
        [this](const QString& url) { opened_.append(url); });
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    if (forget_load_writes) store_.ClearWrites();
  }

  template <typename W>
  W* Find(const char* name) {
    W* w = dialog_->findChild<W*>(QString::fromLatin1(name));
    if (w == nullptr) qFatal("no control %s", name);
    return w;
  }

  QRadioButton* Option(int index) {
    for (QRadioButton* option : dialog_->findChildren<QRadioButton*>("clockCorner"))
      if (option->property("Index").toInt() == index) return option;
    qFatal("no clockCorner(%d)", index);
  }

  // What the named controls show, '|' separated: a box 1 or 0, a bar its value, a text box or
  // list its text, "clockCorner" the corners chosen; a "section/key" name, the value stored.
  QString Shown(std::initializer_list<std::string> names) {
    QStringList out;
    for (const std::string& name : names) {
      const size_t at = name.find('/');
      QWidget* w = at == std::string::npos ? Find<QWidget>(name.c_str()) : nullptr;
      if (w == nullptr)
        out << QString::fromStdString(
            store_.GetSetting(kAppName, name.substr(0, at), name.substr(at + 1), "<absent>"));
      else if (auto* box = qobject_cast<QCheckBox*>(w))
        out << QString::number(box->isChecked());
      else if (auto* bar = qobject_cast<QScrollBar*>(w))
        out << QString::number(bar->value());
      else if (auto* edit = qobject_cast<QLineEdit*>(w))
        out << edit->text();
      else if (auto* label = qobject_cast<QLabel*>(w))
        out << label->text();
      else if (auto* list = qobject_cast<QComboBox*>(w))
        out << (list->currentIndex() < 0 ? list->placeholderText() : list->currentText());
      else if (qobject_cast<QRadioButton*>(w) != nullptr) {
        QString chosen;
        for (int i = 0; i < 4; ++i) chosen += Option(i)->isChecked() ? QString::number(i + 1) : "";
        out << chosen;
      }
    }
    return out.join('|');
  }

  // The writes made since the last call, as "Key=value" in the order written, space separated.
  QString TakeWrites() {
    QStringList out;
    for (const auto& w : store_.Writes()) out.append(QString::fromStdString(w.key + "=" + w.value));
    store_.ClearWrites();
    return out.join(' ');
  }

  // Stores values of "section/key" names as if another program had, and forgets those writes.
  void Set(std::initializer_list<std::pair<std::string, const char*>> values) {
    for (const auto& [name, value] : values)
      store_.SaveSetting(kAppName, name.substr(0, name.find('/')), name.substr(name.find('/') + 1),
                         value);
    store_.ClearWrites();
  }

  // Drags a bar's thumb through pixel offsets from where it starts, releasing at the last one.
  void Drag(QScrollBar* bar, const std::vector<int>& offsets) {
    const QPoint start = ThumbRect(bar).center();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, start);
    QVERIFY(bar->isSliderDown());
    for (int offset : offsets) QTest::mouseMove(bar, start + QPoint(offset, 0));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, start + QPoint(offsets.back(), 0));
  }

 private slots:
  // Each test starts on a store holding the first-run values.
  void init() {
    store_ = MemoryStore();
    WriteFirstRunValues(store_);
    store_.ClearWrites();
    font_calls_ = 0, font_list_ = kFonts, opened_.clear();
  }
  void cleanup() { dialog_.reset(); }

  void opensOnFirstRunValuesAndLeavesThemAsTheyWere() {
    Open(false);
    // Every companion shows its bar, also the scroll-through time that loading did not move.
    QCOMPARE(Shown({"keepMonitorOn", "showUserMessage", "clockCorner", "sceneMinutesShown",
                    "mouseSensitivityShown", "waterFrameDelayShown", "birdStepDelayShown",
                    "butterflyCountShown", "clockFontSize", "soundOffAfter", "flockRest"}),
             "1|0|1|1|4|150|25|3|24|Never|20");
    QVERIFY(!Find<QComboBox>("fontFace")->isEnabled() && font_calls_ == 0 &&  // fast start
            dialog_->findChild<QLabel*>(QStringLiteral("cannotSaveNote")) == nullptr);
    // Loading runs each moved control's handler in loading order; the pick lists, the power box
    // and a control already showing the stored value (Scroll 1, ShowMessage 0) write nothing.
    QCOMPARE(TakeWrites(),
             "CheckFont=1 NumButter=3 BirdSpeed=25 SingleBird=1 Birds=1 Butter1=1 Butter2=1 "
             "VolumeWater=-911 VolumeBirds=-193 VolumeJungle=-1492 VolumeEagle=-775 WaterSpeed=150 "
             "MouseSens=4 SoundWater=1 SoundBirds=1 SoundJungle=1 SoundEagle=1 Clock=1 FontSize=24 "
             "waterfall1=1 waterfall2=1 Message=Place a Message Here "
             "FontSizeMsg=24 PosClock=1");
  }

  // Whichever of dialog and saver starts first writes the first-run values: a message typed in
  // the dialog before the saver ever ran is the one the saver's first start shows.
  void aChoiceMadeBeforeTheSaversFirstStartSurvivesIt() {
    store_ = MemoryStore();
    Open();
    Find<QLineEdit>("userMessage")->setText("Gone fishing");
    dialog_.reset();
    testing::FakeClock clock;
    testing::FakeDisplay display;
    testing::RecordingSoundDevice sound;
    testing::FakeWindowSystem windows;
    SeededRandom random;
    SaverWindow saver({display, sound, store_, windows, clock, random, "/a/", {}, {}});
    saver.Load();
    QCOMPARE(QString::fromStdString(saver.settings.user_message) + "|" +
                 Shown({"two/Message", "two/FontSizeMsg", "one/BirdTimer", "System/SetReg"}),
             "Gone fishing|Gone fishing|24|20|2");
  }

  // Every thumb stands out from its groove, also at either end of its bar.
  void thumbsShowAgainstTheirGroove() {
    Open();
    for (QScrollBar* bar : dialog_->findChildren<QScrollBar*>()) {
      if (bar->objectName().isEmpty()) continue;  // a list's own, not the dialog's
      for (int value : {bar->minimum(), bar->maximum()}) {
        bar->setValue(value);
        const QRect groove = ThumbRect(bar, QStyle::SC_ScrollBarGroove), thumb = ThumbRect(bar);
        // The groove's middle, or a point between its middle and the far end from the thumb.
        QPoint empty = groove.center();
        if (thumb.contains(empty))
          empty = (empty + (value == bar->minimum() ? groove.bottomRight() : groove.topLeft())) / 2;
        const QImage image = bar->grab().toImage();
        const int contrast = qAbs(qGray(image.pixel(thumb.center())) - qGray(image.pixel(empty)));
        QVERIFY2(contrast >= 48, qPrintable(bar->objectName() + " " + QString::number(contrast)));
      }
    }
    TakeWrites();
  }

  // Each control shows its own key (every key holds a value no other holds) and opening changes
  // no stored value it can show; a switch holds only at exactly 1, so 2 shows unticked and stays.
  void openingShowsEachKeyInItsOwnControlAndChangesNone() {
    // Control, key and its value, ';' between them.
    const QString table =
        "clockFontSize one/FontSize 17;messageFontSize two/FontSizeMsg 19;"
        "sceneMinutes one/Scroll 7;mouseSensitivity one/MouseSens 5;"
        "waterFrameDelay two/WaterSpeed 321;birdStepDelay one/BirdSpeed 33;"
        "butterflyCount one/NumButter 2;waterSoundVolume two/VolumeWater -11;"
        "birdSongVolume two/VolumeBirds -22;jungleSoundVolume two/VolumeJungle -33;"
        "eagleCallVolume two/VolumeEagle -44;userMessage two/Message Hi;"
        "flockRest one/BirdTimer 40;soundOffAfter one/SoundOff 90;clockCorner two/PosClock 3;"
        "showFlock one/Birds 2;showSingleBirds one/SingleBird 2;"
        "showFirstButterflies one/Butter1 2;showSecondButterflies one/Butter2 2;"
        "showClock one/Clock 2;scene1InRotation one/waterfall1 2;"
        "scene2InRotation one/waterfall2 2;showUserMessage two/ShowMessage 2;"
        "waterSoundOn two/SoundWater 2;birdSongOn two/SoundBirds 2;"
        "jungleSoundOn two/SoundJungle 2;eagleCallOn two/SoundEagle 2;"
        "spanMonitors Startup/SpanMonitors 2";
    const QStringList cases = table.split(';');
    for (const QString& c : cases)
      Set({{c.section(' ', 1, 1).toStdString(), qPrintable(c.section(' ', 2))}});
    Open(false);
    for (const QString& c : cases) {
      const std::string control = c.section(' ', 0, 0).toStdString();
      const bool is_switch = qobject_cast<QCheckBox*>(Find<QWidget>(control.c_str())) != nullptr;
      const QString shown = is_switch ? "0" : c.section(' ', 2);
      QCOMPARE(Shown({control, c.section(' ', 1, 1).toStdString()}),
               shown + "|" + c.section(' ', 2));
    }
  }

  void barsWriteAsDraggedClickedOrKeyedButTheEagleOnlyWhereTheDragEnds() {
    Open();
    auto* water = Find<QScrollBar>("waterSoundVolume");
    Drag(water, {6, 12, 18});
    // Each value as the thumb moves right, the last where it comes to rest.
    const QStringList writes = TakeWrites().split(' ');
    QVERIFY(writes.size() >= 3 && water->value() > -911);
    QVERIFY(writes.filter("VolumeWater=").size() == writes.size() &&
            std::ranges::is_sorted(writes, {}, [](const QString& w) { return w.mid(12).toInt(); }));
    QCOMPARE(writes.back(), QStringLiteral("VolumeWater=%1").arg(water->value()));

    auto* eagle = Find<QScrollBar>("eagleCallVolume");
    Drag(eagle, {-6, -12, -18});
    QVERIFY(eagle->value() < -775);
    Drag(eagle, {8, 0});  // ends where it began: no write
    // Water speed is slowest at the top: the upper arrow moves it towards 500.
    auto* speed = Find<QScrollBar>("waterFrameDelay");
    QTest::mouseClick(speed, Qt::LeftButton, Qt::NoModifier, QPoint(speed->width() / 2, 4));
    QCOMPARE(TakeWrites(), QStringLiteral("VolumeEagle=%1 WaterSpeed=151").arg(eagle->value()));

    // Keys write as the mouse does. Each bar from the middle: Home, a step, Page Down, End, a step
    // back, Page Up; the bar, the control showing its value, the writes|what that control shows.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"sceneMinutes", "sceneMinutesShown",
         "Scroll=1 ScrollSec=60 Scroll=2 ScrollSec=120 Scroll=3 ScrollSec=180 Scroll=500 "
         "ScrollSec=30000 Scroll=499 ScrollSec=29940 Scroll=498 ScrollSec=29880|498"},
        {"jungleSoundVolume", "jungleSoundVolume",
         "VolumeJungle=-2500 VolumeJungle=-2499 VolumeJungle=-2498 VolumeJungle=0 VolumeJungle=-1 "
         "VolumeJungle=-2|-2"},
        {"waterFrameDelay", "waterFrameDelayShown",
         "WaterSpeed=500 WaterSpeed=499 WaterSpeed=498 "
         "WaterSpeed=50 WaterSpeed=51 WaterSpeed=52|52"},
        {"butterflyCount", "butterflyCountShown",
         "NumButter=1 NumButter=2 NumButter=3 NumButter=2 NumButter=1|1"}};
    for (const auto& [name, companion, expected] : cases) {
      auto* bar = Find<QScrollBar>(name);
      QVERIFY2(bar->focusPolicy() & Qt::TabFocus, name);
      bar->setValue((bar->minimum() + bar->maximum()) / 2);
      TakeWrites();
      const bool vertical = bar->orientation() == Qt::Vertical;
      for (Qt::Key key : {Qt::Key_Home, vertical ? Qt::Key_Down : Qt::Key_Right, Qt::Key_PageDown,
                          Qt::Key_End, vertical ? Qt::Key_Up : Qt::Key_Left, Qt::Key_PageUp})
        QTest::keyClick(bar, key);
      QCOMPARE(TakeWrites() + "|" + Shown({companion}), QString::fromUtf8(expected));
    }
    QVERIFY(ThumbRect(speed).center().y() > speed->height() / 2);  // 52 sits near "Fast"
  }

  void choicesWriteAsTheUserMakesThemAndFastStartOffLoadsTheFonts() {
    Open();
    QTest::mouseClick(Option(3), Qt::LeftButton);
    dialog_->BringToFront();  // loads again: the stored corner stays chosen, nothing is written
    QCOMPARE(TakeWrites() + "|" + Shown({"clockCorner"}), "PosClock=4|4");

    for (const char* box : {"showFlock", "scene2InRotation", "keepMonitorOn"})
      QTest::mouseClick(Find<QCheckBox>(box), Qt::LeftButton);
    // The monitors' box is the next stop after the power box, and the space bar ticks it.
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    Find<QCheckBox>("keepMonitorOn")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Find<QWidget>("spanMonitors"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    // Text boxes write on every change, also the empty text.
    Find<QLineEdit>("userMessage")->selectAll();
    QTest::keyClick(Find<QLineEdit>("userMessage"), Qt::Key_Backspace);
    // The pick lists take no typing and write an entry picked from the list.
    QVERIFY(!Find<QComboBox>("flockRest")->isEditable() &&
            !Find<QComboBox>("soundOffAfter")->isEditable());
    QTest::keyClick(Find<QComboBox>("soundOffAfter"), Qt::Key_Down);
    QCOMPARE(TakeWrites() + "|" + Shown({"soundOffAfter"}),
             "Birds=0 waterfall2=0 PwrSave=0 SpanMonitors=1 Message= SoundOff=1|1");

    // Unchecking fast start loads the fonts and writes CheckFont last.
    auto* check = Find<QCheckBox>("fastStart");
    auto* fonts = Find<QComboBox>("fontFace");
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(font_calls_ == 1 && fonts->isEnabled());
    QCOMPARE(fonts->itemText(0) + fonts->itemText(1), QStringLiteral("Arialcourier New"));
    fonts->setCurrentIndex(4);
    // Entry 2 (the stored position) is shown first, then the stored name, then the one picked.
    QCOMPARE(TakeWrites(),
             "SelectedFont=2 FontName=DejaVu Sans SelectedFont=0 FontName=Arial "
             "CheckFont=0 SelectedFont=4 FontName=Verdana");
    // Checking it again and unchecking it loads the list again, every font once.
    QTest::mouseClick(check, Qt::LeftButton);
    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(QStringLiteral("%1 %2 ").arg(font_calls_).arg(fonts->count()) + fonts->currentText(),
             "2 5 Verdana");
  }

  // With fast start off the list loads at opening and the stored face is found by name, without a
  // foundry in brackets; "Arial", which Linux desktops do not list, is Liberation Sans.
  void fontsLoadAtOpeningAndTheStoredFaceIsFound() {
    // The fonts listed, the stored position and name; the name shown, the position and name stored.
    const std::tuple<QStringList, const char*, const char*, const char*> cases[] = {
        {kFonts, "3", "verdana", "Verdana|4|Verdana"},
        {kFonts, "17", "Comic", "|17|Comic"},
        {kFonts, "0", "Verdana [monotype]", "Verdana|4|Verdana"},
        {{"DejaVu Sans", "Liberation Sans", "Verdana"},
         "9",
         "Arial",
         "Liberation Sans|1|Liberation Sans"}};
    for (const auto& [fonts, selected, name, shown] : cases) {
      init();
      font_list_ = fonts;
      Set({{"Startup/CheckFont", "0"},
           {"Startup/SelectedFont", selected},
           {"Startup/FontName", name}});
      Open(false);
      QVERIFY(font_calls_ == 1 && Find<QComboBox>("fontFace")->isEnabled());
      QCOMPARE(Shown({"fastStart", "fontFace", "Startup/SelectedFont", "Startup/FontName"}),
               QStringLiteral("0|") + shown);
    }
  }

  // Every family the dialog lists on this machine, and every name Qt's own list (and so older
  // versions of the dialog) gave, reaches the saver's lookup as a face of that family.
  void everyListedFontIsAFaceTheSaverFinds() {
    QStringList names = ScreenFontFamilies();
    QVERIFY(names.size() >= 3);  // fonts-dejavu-core and fonts-liberation at least
    QVERIFY2(names.filter(QStringLiteral("[")).isEmpty(), qPrintable(names.join(',')));
    names << "DejaVu Sans [PfEd]"
          << "Liberation Serif [1ASC ]" << QFontDatabase::families().filter(" [");
    FontLookup lookup;
    for (const QString& name : names) {
      const QString family = name.left(name.indexOf(QStringLiteral(" [")));
      const QStringList found = FamiliesInFile(lookup.Find(name.toStdString()));
      QVERIFY2(found.contains(family), qPrintable(name + " -> " + found.join(',')));
    }
  }

  // A second start brings the open dialog to the front, showing what the store holds by then, as
  // does coming back to its window; only what changed behind the dialog is written back.
  void broughtToTheFrontItShowsTheStoreAsItIsNowAndItsButtonsWork() {
    Open();
    // Any PwrSave but 0 is on; a BirdTimer that is no entry of its list is shown, not written.
    Set({{"one/Clock", "0"},
         {"one/Scroll", "7"},
         {"one/SoundOff", "45"},
         {"two/PosClock", "9"},
         {"two/Message", "Gone fishing"},
         {"Startup/PwrSave", "2"},
         {"one/BirdTimer", "25"}});
    dialog_->BringToFront();
    QCOMPARE(Shown({"keepMonitorOn", "showClock", "sceneMinutesShown", "userMessage",
                    "soundOffAfter", "clockCorner", "flockRest"}),
             "1|0|7|Gone fishing|45||25");
    dialog_->BringToFront();  // again: nothing more is written
    QCOMPARE(TakeWrites(), "Scroll=7 ScrollSec=420 Clock=0 Message=Gone fishing");

    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    Set({{"two/WaterSpeed", "321"}});
    QEvent activated(QEvent::ActivationChange);
    QApplication::sendEvent(dialog_.get(), &activated);
    QCOMPARE(TakeWrites() + "|" + Shown({"waterFrameDelayShown"}), "WaterSpeed=321|321");

    // The buttons write nothing. Their access keys: Alt+G and Alt+H open the pages, Alt+O closes.
    for (Qt::Key key : {Qt::Key_G, Qt::Key_H}) QTest::keyClick(dialog_.get(), key, Qt::AltModifier);
    QTRY_COMPARE(opened_, (QStringList{"file:///opt/larkspill%20data/share/index.htm",
                                       "file:///opt/larkspill%20data/share/support.htm"}));
    QString text;
    QTimer::singleShot(0, this, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        text = box->windowTitle() + "|" + box->text(), box->accept();
    });
    QTest::mouseClick(Find<QPushButton>("aboutButton"), Qt::LeftButton);
    QVERIFY2(text.startsWith("Larkspill|") &&
                 text.contains("Our website address: " + opened_[0] + "\r\n"),
             qPrintable(text));
    dialog_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    QTest::keyClick(dialog_.get(), Qt::Key_O, Qt::AltModifier);
    QTRY_VERIFY(!dialog_->isVisible());
    QCOMPARE(TakeWrites(), "");
  }

  // On a store holding only the first-run marker, keys whose absent default does not convert take
  // their first-run value (NumButter, BirdSpeed, Birds, SingleBird); the others' absent "1" is
  // brought into range where a bar cannot show it.
  void opensOnAnEmptyReadOnlyStoreAndSaysChangesCannotBeSaved() {
    store_ = MemoryStore();
    Set({{"System/SetReg", "2"}});
    store_.SetWhyCannotSave("the settings file is read-only");
    Open(false);
    // The store holds what the dialog shows, the pick lists and the power box excepted.
    QCOMPARE(Shown({"birdStepDelay", "waterFrameDelay", "waterSoundVolume", "mouseSensitivityShown",
                    "showFlock", "showSingleBirds", "fastStart", "keepMonitorOn", "soundOffAfter",
                    "flockRest", "one/MouseSens", "one/NumButter", "one/Birds", "one/BirdTimer",
                    "two/WaterSpeed", "two/VolumeEagle", "Startup/PwrSave", "cannotSaveNote"}),
             "25|50|0|2|1|1|1|1|1||2|3|1|<absent>|50|0|<absent>|"
             "Changes cannot be saved: the settings file is read-only.");
    QCOMPARE(font_calls_, 0);
  }

  void hostileStoresOpenAndTextsShowAsStored() {
    const std::string hostile[] = {"",
                                   "fast",
                                   "99999",
                                   "-99999",
                                   "2.5e9",
                                   "nan",
                                   "1e999",
                                   std::string(200 * 1024, 'w'),
                                   "Grüße 滝 = ; # [x]",
                                   "\n\t\r"};
    for (const std::string& value : hostile) {
      store_ = MemoryStore();
      for (const auto& k : SettingKeys()) store_.SaveSetting(kAppName, k.section, k.key, value);
      Set({{"System/SetReg", "2"}});  // else the first-run values replace them
      Open(false);
      // Texts are shown and kept as they are stored, nothing cut short; numbers land in their bars.
      QCOMPARE(Shown({"userMessage", "two/Message"}), QString::fromStdString(value + "|" + value));
      for (QScrollBar* b : dialog_->findChildren<QScrollBar*>())
        QVERIFY2(b->value() >= b->minimum() && b->value() <= b->maximum(),
                 qPrintable(b->objectName()));
    }
  }

  // A stopped dialog (its claim held, its queue full, nobody answering): a later start gives up
  // after its patience instead of hanging.
  void aStoppedDialogIsAskedOnlyForAWhile() {
    QTemporaryDir dir;
    const int claim =
        ::open(qPrintable(dir.filePath("larkspill-dialog.lock")), O_RDWR | O_CREAT, 0600);
    QVERIFY(::flock(claim, LOCK_EX) == 0);
    sockaddr_un address{AF_UNIX, {}};
    qstrncpy(address.sun_path, qPrintable(dir.filePath("larkspill-dialog.socket")),
             sizeof(address.sun_path));
    auto* at = reinterpret_cast<const sockaddr*>(&address);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(::bind(listener, at, sizeof(address)) == 0 && ::listen(listener, 0) == 0);
    std::vector<int> queued;
    while (queued.size() < 64) {
      queued.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
      if (::connect(queued.back(), at, sizeof(address)) != 0) break;
    }
    const pid_t asker = ::fork();
    if (asker == 0) {
      ::alarm(5);  // a hang ends the asker by SIGALRM
      SingleDialog later(dir.path().toStdString());
      _exit(static_cast<int>(later.Claim(std::chrono::milliseconds(300))));
    }
    int status = 0;
    ::waitpid(asker, &status, 0);
    for (int fd : queued) ::close(fd);
    ::close(listener), ::close(claim);
    QCOMPARE(status, W_EXITCODE(static_cast<int>(SingleDialog::Start::NoAnswer), 0));
  }

  // Another user's dialog is never taken for this user's, and this user's dialog never answers
  // another user's start, even where the folder and the socket let the other user in.
  void anotherUsersDialogOrStartIsNeitherAskedNorAnswered() {
    if (::geteuid() != 0) QSKIP("acting as another user needs root");
    const uid_t nobody = 65534;
    auto become_nobody = [nobody] {
      if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
          ::setresuid(nobody, nobody, nobody) != 0)
        _exit(9);
    };
    QTemporaryDir dir;
    QVERIFY(::chmod(qPrintable(dir.path()), 0777) == 0);
    sockaddr_un address{AF_UNIX, {}};
    qstrncpy(address.sun_path, qPrintable(dir.filePath("larkspill-dialog.socket")),
             sizeof(address.sun_path));
    auto* at = reinterpret_cast<const sockaddr*>(&address);

    // Nobody's dialog, claiming the folder's dialog socket and saying yes to anything.
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    const pid_t theirs = ::fork();
    if (theirs == 0) {
      ::alarm(10);
      become_nobody();
      const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (::bind(listener, at, sizeof(address)) != 0 || ::listen(listener, 4) != 0) _exit(8);
      ::chmod(address.sun_path, 0666);
      (void)!::write(ready[1], "r", 1);
      for (;;) {
        const int client = ::accept(listener, nullptr, nullptr);
        char question[16];
        (void)!::read(client, question, sizeof(question));
        ::send(client, "ok\n", 3, MSG_NOSIGNAL);
        ::close(client);
      }
    }
    char byte = 0;
    QCOMPARE(::read(ready[0], &byte, 1), ssize_t{1});
    // This user's start, finding the claim held: it does not take their yes for its dialog's.
    const int claim =
        ::open(qPrintable(dir.filePath("larkspill-dialog.lock")), O_RDWR | O_CREAT, 0600);
    QVERIFY(::flock(claim, LOCK_EX) == 0);
    const pid_t asker = ::fork();
    if (asker == 0) {
      ::alarm(5);
      SingleDialog later(dir.path().toStdString());
      _exit(static_cast<int>(later.Claim(std::chrono::milliseconds(300))));
    }
    int status = 0;
    ::waitpid(asker, &status, 0);
    ::kill(theirs, SIGKILL), ::waitpid(theirs, nullptr, 0);
    ::close(claim);
    QCOMPARE(status, W_EXITCODE(static_cast<int>(SingleDialog::Start::NoAnswer), 0));

    // This user's dialog, its socket opened to all: nobody's start is not answered.
    QFile::remove(dir.filePath("larkspill-dialog.socket"));
    SingleDialog ours(dir.path().toStdString());
    QCOMPARE(ours.Claim(std::chrono::milliseconds(100)), SingleDialog::Start::Open);
    QObject owner;
    int fronted = 0;
    ours.Listen(&owner, [&fronted] { ++fronted; });
    QVERIFY(::chmod(address.sun_path, 0666) == 0);
    const pid_t their_start = ::fork();
    if (their_start == 0) {
      ::alarm(5);
      become_nobody();
      const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (::connect(socket, at, sizeof(address)) != 0) _exit(7);
      ::send(socket, "front\n", 6, MSG_NOSIGNAL);  // the dialog may have hung up already
      char reply[8] = {};
      pollfd readable{socket, POLLIN, 0};
      const bool answered = ::poll(&readable, 1, 1000) == 1 && ::read(socket, reply, 3) == 3;
      _exit(answered ? 1 : 0);
    }
    bool ended = false;  // (the condition is looked at once more after it held)
    QTRY_VERIFY(ended || (ended = ::waitpid(their_start, &status, WNOHANG) == their_start));
    QCOMPARE(status, 0);
    QCOMPARE(fronted, 0);
    ::close(ready[0]), ::close(ready[1]);
  }

  // A high-density screen (the test runs again with QT_SCALE_FACTOR=2) shows a picture painted at
  // twice the size where there is one, at the same size as the plain one; other screens, or a
  // missing one, the plain picture.
  void picturesAtTwiceTheSizeOnHighDensityScreens() {
    QTemporaryDir dir;
    QImage(40, 30, QImage::Format_RGB32).save(dir.filePath("a.bmp"));
    QImage(80, 60, QImage::Format_RGB32).save(dir.filePath("a@2x.bmp"));
    QImage(40, 30, QImage::Format_RGB32).save(dir.filePath("b.bmp"));
    QWidget parent;
    const bool dense = parent.devicePixelRatioF() > 1;
    for (const char* file : {"a.bmp", "b.bmp"}) {
      const QPixmap shown =
          MakePicture(&parent, "picture", dir.path().toStdString(), file, 0, 0, 40, 30)->pixmap();
      const bool twice = dense && file[0] == 'a';
      QCOMPARE(shown.devicePixelRatio(), twice ? 2.0 : 1.0);
      QCOMPARE(shown.deviceIndependentSize(), QSizeF(40, 30));
    }
  }
};

}  // namespace larkspill

QTEST_MAIN(larkspill::SetupDialogTest)
#include "setup_dialog_test.moc"
