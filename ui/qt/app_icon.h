// The program's icon, drawn at run time so that no image file has to ship
// beside the single executable.
#ifndef SEGJOIN_UI_QT_APP_ICON_H_
#define SEGJOIN_UI_QT_APP_ICON_H_

#include <QIcon>

namespace segjoin {

QIcon AppIcon();

}  // namespace segjoin

#endif  // SEGJOIN_UI_QT_APP_ICON_H_
