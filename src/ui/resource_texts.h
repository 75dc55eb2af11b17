// Texts, font and pictures of a window from the resource file. Controls
// carry the resource id of their caption in the dynamic property "tag" and
// that of their tool tip in "toolTipTag"; the window is filled from them
// once, when it loads.
#pragma once

#include <QLabel>
#include <Qt>

class QWidget;

namespace vl {

inline constexpr const char* kTagProperty = "tag";
inline constexpr const char* kToolTipTagProperty = "toolTipTag";
// Item data role that holds the resource id of a grid's heading.
inline constexpr int kTagRole = Qt::UserRole + 100;
// Displays with this many colours or fewer take the simple bitmaps, whose
// ids are the usual id plus kSimpleBitmapOffset.
inline constexpr long kSimpleDisplayColors = 16, kSimpleBitmapOffset = 500;

// A picture control: its "tag" names a resource bitmap.
class ImageControl : public QLabel {
 public:
  explicit ImageControl(QWidget* parent = nullptr) : QLabel(parent) {}
};

// The number of colours the screen shows; -1 when it shows more than 256.
long GetDisplayColorCount();

// The resource id `value` holds when it is numeric; 0 otherwise.
long NumericTag(const QVariant& value);

// For every control of `form`, by kind: the caption of a button, label or
// group box becomes the resource text of its tag; a menu entry whose text
// is numeric takes the text of that id; a tab takes the text of its page's
// tag and tool tip; a tool bar button's tag gives its tool tip; a grid's
// headings take the texts of their kTagRole ids; an ImageControl takes the
// resource bitmap of its tag, or of tag + 500 on a display of 16 colours or
// fewer. Any control's "toolTipTag" gives its tool tip. A control without
// a numeric tag, or of a kind without a caption, keeps what it has. Then
// gsMsgTitle becomes the resource text of the form's own tag.
// `displayColors` is the screen's colour count (GetDisplayColorCount).
void ApplyResourceTexts(QWidget* form, long displayColors);
void ApplyResourceTexts(QWidget* form);

// When the resource file names a font, every control of `form` takes that
// font family (sizes and styles stay); otherwise nothing changes.
void ApplyResourceFont(QWidget* form);

}  // namespace vl
