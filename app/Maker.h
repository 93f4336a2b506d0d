#pragma once
#include <QString>

// Where the launcher's and the about box's links lead. The about box may show
// other text for the home page (support.ini), but always opens these.
inline const QString MakerHomePage = QStringLiteral("https://quorvis.example.org");
inline const QString MakerHomePageText = QStringLiteral("quorvis.example.org");
inline const QString MakerSupportMail = QStringLiteral("support@quorvis.example.org");
