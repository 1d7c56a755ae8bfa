#pragma once

// One tray refresh: the icon and tooltip change only when used or free memory changed.
void RefreshTrayReadout();
