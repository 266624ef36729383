#include "setup/dialog_widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionFocusRect>
#include <algorithm>

namespace larkspill {

namespace {

// The desktop's style with four changes for this dialog's small controls: a small square
// scroll-bar thumb (the bars are short and their page step is 1, and a long thumb would leave the
// short water-speed bar almost no travel), a focus frame round the scroll bar that the keys move
// (most styles draw none on a scroll bar), a thumb that stands out from its groove, and a font
// list that drops down as a scrolling list of
// a few entries instead of covering the screen.
class DialogStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_ScrollBarSliderMin) {
      return QProxyStyle::pixelMetric(PM_ScrollBarExtent, option, widget);
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control != CC_ScrollBar) return;
    // The desktop's thumb is often a white square on a pale groove, hard to tell from the arrow
    // buttons: a darker, framed thumb shows where the value is, also at an end.
    const QRect thumb = proxy()->subControlRect(CC_ScrollBar, option, SC_ScrollBarSlider, widget);
    if (thumb.isValid()) {
      painter->save();
      painter->setPen(option->palette.color(QPalette::Shadow));
      painter->setBrush(option->palette.color(QPalette::Dark));
      painter->drawRect(thumb.adjusted(1, 1, -2, -2));
      painter->restore();
    }
    if (option->state & State_HasFocus) {
      QStyleOptionFocusRect focus;
      focus.QStyleOption::operator=(*option);
      focus.rect = option->rect.adjusted(1, 1, -1, -1);
      proxy()->drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }
  }
};

// A scroll bar that answers the keys the way they point: Left, Up and Page Up move the thumb one
// step (a page is one step here) towards the left or top end, Right, Down and Page Down towards the
// other end, Home and End to the two ends. Qt's own bars ignore Page Up and Page Down and would
// step an upside-down bar the wrong way. The keys go through the same value change as the mouse.
class DialogBar : public QScrollBar {
 public:
  DialogBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
    // In the Tab chain, so the keys reach it.
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    // The left or top end holds the minimum, unless the bar is drawn upside down.
    const bool start_is_minimum = !invertedAppearance();
    const SliderAction back = start_is_minimum ? SliderSingleStepSub : SliderSingleStepAdd;
    const SliderAction on = start_is_minimum ? SliderSingleStepAdd : SliderSingleStepSub;
    SliderAction action = SliderNoAction;
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_PageUp:
          action = back;
          break;
        case Qt::Key_Right:
        case Qt::Key_Down:
        case Qt::Key_PageDown:
          action = on;
          break;
        case Qt::Key_Home:
          action = start_is_minimum ? SliderToMinimum : SliderToMaximum;
          break;
        case Qt::Key_End:
          action = start_is_minimum ? SliderToMaximum : SliderToMinimum;
          break;
        default:
          break;
      }
    }
    if (action == SliderNoAction) {
      QScrollBar::keyPressEvent(event);
      return;
    }
    triggerAction(action);
    event->accept();
  }
};

// A vertical bar whose largest value is at the top. Qt draws and drags such a bar the right way
// up but still steps it by arrow and page clicks as if the smallest value were on top; this bar
// turns those steps round, so a click moves the thumb towards the place clicked.
class UpsideDownBar : public DialogBar {
 public:
  explicit UpsideDownBar(QWidget* parent) : DialogBar(Qt::Vertical, parent) {
    setInvertedAppearance(true);
    // A scroll bar normally turns its wheel round (a turn up lowers the value); with the largest
    // value on top, it must raise it.
    setInvertedControls(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
      if (!mouse_down_) return;
      switch (action) {
        case SliderSingleStepAdd:
        case SliderSingleStepSub:
        case SliderPageStepAdd:
        case SliderPageStepSub:
          setSliderPosition(2 * value() - sliderPosition());
          break;
        default:
          break;
      }
    });
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    mouse_down_ = true;
    QScrollBar::mousePressEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    QScrollBar::mouseReleaseEvent(event);
    mouse_down_ = false;
  }

 private:
  bool mouse_down_ = false;
};

}  // namespace

// One style for every dialog, owned by the application so that it outlives the controls.
QStyle* DialogControlStyle() {
  static QPointer<QStyle> style;
  if (style.isNull()) {
    // Built on the style the application uses, as set by the desktop or a -style option.
    style = new DialogStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(QCoreApplication::instance());
  }
  return style;
}

// The page is laid out for a desktop font of about 8 points, the size whose widest labels (those
// with a gap for a control) just fit their frames. A larger desktop font is brought down, in the
// same family, to the largest size at which they fit, so no label is cut off.
QFont FittedFont(QFont font) {
  const struct {
    const char* text;
    int width;
  } budgets[] = {
      {"Every                   Minutes", 146},
      {"Turn sound off after:                    min.", 212},
      {"every                       seconds", 158},
      {"Set scroll-through time:", 146},
  };
  const auto fits = [&budgets](const QFont& f) {
    const QFontMetrics metrics(f);
    if (metrics.height() > 15) return false;
    for (const auto& budget : budgets) {
      if (metrics.horizontalAdvance(QString::fromLatin1(budget.text)) > budget.width) return false;
    }
    return true;
  };
  if (fits(font)) return font;
  QFont smaller = font;
  if (font.pointSizeF() > 0) {
    for (double points = font.pointSizeF() - 0.5; points >= 6.0; points -= 0.5) {
      smaller.setPointSizeF(points);
      if (fits(smaller)) return smaller;
    }
  } else if (font.pixelSize() > 0) {
    for (int pixels = font.pixelSize() - 1; pixels >= 8; --pixels) {
      smaller.setPixelSize(pixels);
      if (fits(smaller)) return smaller;
    }
  }
  return smaller;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                     int h) {
  auto* frame = Make<QGroupBox>(parent, name, QString::fromLatin1(caption));
  QFont bold = frame->font();
  bold.setBold(true);
  frame->setFont(bold);
  frame->setGeometry(x, y, w, h);
  return frame;
}

// A label that keeps its runs of spaces: some labels leave a gap for a control to sit in.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* label = Make<QLabel>(parent, name);
  label->setTextFormat(Qt::PlainText);
  label->setText(QString::fromLatin1(text));
  label->adjustSize();
  label->move(x, y);
  return label;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* box = Make<QCheckBox>(parent, name, QString::fromLatin1(text));
  box->adjustSize();
  box->move(x, y);
  return box;
}

QScrollBar* MakeBar(QWidget* parent, const char* name, Qt::Orientation orientation, int minimum,
                    int maximum) {
  auto* bar = Make<DialogBar>(parent, name, orientation);
  bar->setStyle(DialogControlStyle());
  bar->setRange(minimum, maximum);
  bar->setSingleStep(1);
  bar->setPageStep(1);
  bar->setValue(minimum);
  return bar;
}

QScrollBar* MakeUpsideDownBar(QWidget* parent, const char* name, int minimum, int maximum) {
  auto* bar = Make<UpsideDownBar>(parent, name);
  bar->setStyle(DialogControlStyle());
  bar->setRange(minimum, maximum);
  bar->setSingleStep(1);
  bar->setPageStep(1);
  bar->setValue(minimum);
  return bar;
}

QLineEdit* MakeCompanion(QWidget* parent, const char* name) {
  auto* box = Make<QLineEdit>(parent, name);
  box->setReadOnly(true);
  box->setAlignment(Qt::AlignRight);
  // It only shows its bar's value, so Tab passes it by.
  box->setFocusPolicy(Qt::NoFocus);
  return box;
}

void PlaceBarRow(QScrollBar* bar, QLineEdit* shown, int x, int y, int bar_width, int shown_width) {
  bar->setGeometry(x, y, bar_width, 17);
  shown->setGeometry(x + bar_width + 6, y - 2, shown_width, 20);
}

// Places `control` over the run of spaces in `label` that follows the text `before`, centred
// on the label's line.
void PlaceInGap(QWidget* control, const QLabel* label, const char* before, int spaces, int height) {
  const QFontMetrics metrics = label->fontMetrics();
  const int gap_x = label->x() + metrics.horizontalAdvance(QString::fromLatin1(before));
  const int gap_w = metrics.horizontalAdvance(QString(spaces, QLatin1Char(' ')));
  const int y = label->y() + (label->height() - height) / 2;
  control->setGeometry(gap_x + 2, y, std::max(gap_w - 4, 24), height);
}

QComboBox* MakePickList(QWidget* parent, const char* name, const QStringList& entries) {
  auto* combo = Make<QComboBox>(parent, name);
  // Only an entry picked from the list is ever written, so the list takes no typing.
  combo->setEditable(false);
  combo->addItems(entries);
  return combo;
}

void ShowInPickList(QComboBox* list, const QString& text) {
  // A stored text that is no entry (a hand edit) shows as it is, greyed, and stays stored.
  const int index = list->findText(text, Qt::MatchExactly);
  list->setPlaceholderText(index < 0 ? text : QString());
  list->setCurrentIndex(index);
}

QLabel* MakePicture(QWidget* parent, const char* name, const std::string& asset_dir,
                    const char* file, int x, int y, int w, int h) {
  auto* picture = Make<QLabel>(parent, name);
  picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picture->setLineWidth(1);
  picture->setGeometry(x, y, w + 2, h + 2);
  if (asset_dir.empty()) return picture;
  const QString folder = QString::fromStdString(asset_dir) + QLatin1Char('/');
  const QString one = QString::fromLatin1(file);
  QString twice = one;
  twice.insert(twice.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
  QPixmap pixmap;
  auto load = [&](const QString& n) {
    return QFile::exists(folder + n) && pixmap.load(folder + n);
  };
  // A high-density screen shows the picture painted at twice the size at the same size; a
  // missing or unreadable picture leaves the plain frame.
  if (picture->devicePixelRatioF() > 1 && load(twice))
    pixmap.setDevicePixelRatio(2);
  else if (!load(one))
    return picture;
  picture->setPixmap(pixmap);
  return picture;
}

}  // namespace larkspill
