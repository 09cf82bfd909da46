// Per-pixel-alpha skin of a layered form, painted from the executable's PNG resource.
#pragma once

class CZKForm;

// Resource number of the login screen's artwork (type "PNG").
constexpr int SKIN_PNG_RESOURCE = 170;

// Paints the PNG into the form's layered window (which must carry WS_EX_LAYERED) at the
// form's size and places the window at the screen's top-left corner. The window is updated
// even when the picture is missing or undecodable (it then stays fully transparent); returns
// whether the picture was drawn.
bool ApplyPngSkin(CZKForm* form);
