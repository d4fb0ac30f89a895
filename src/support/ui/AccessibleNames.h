#pragma once

class QWidget;

namespace support {

// Gives every control under root that has no accessible name yet the one a user sees for it, so
// that screen readers and UI automation find it: a button or frame its caption (without the
// access-key marker and the blanks that space out "O  K"), a text box, list or drop-down the
// caption of the label that names it (its buddy). Controls without either are named by the form.
void NameControls(QWidget *root);

} // namespace support
