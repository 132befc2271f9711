// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/FontFamilies.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>

#include "settings/SettingsFields.h"

namespace lumetra {
namespace {

// The look-alikes come from Debian's free font packages (fonts-liberation,
// fonts-urw-base35, fonts-dejavu-core, fonts-comic-neue, fonts-courier-prime,
// fonts-gfs-didot, fonts-cabin, fonts-cabinsketch, fonts-linuxlibertine,
// fonts-league-spartan), listed best match first.
const QHash<QString, QStringList>& LookAlikeTable() {
    static const QHash<QString, QStringList> table = {
        {"American Typewriter", {"Courier Prime", "Nimbus Mono PS", "Liberation Mono"}},
        {"Arial", {"Liberation Sans", "Nimbus Sans", "DejaVu Sans"}},
        {"Chalkduster", {"Cabin Sketch", "Comic Neue"}},
        {"Comic Sans MS", {"Comic Neue"}},
        {"Copperplate", {"URW Bookman", "Linux Libertine O", "Liberation Serif"}},
        {"Didot", {"GFS Didot", "C059", "Nimbus Roman", "Liberation Serif"}},
        {"Futura", {"League Spartan", "URW Gothic", "Liberation Sans"}},
        {"Geneva", {"DejaVu Sans", "Liberation Sans", "Nimbus Sans"}},
        {"Georgia", {"C059", "DejaVu Serif", "Liberation Serif"}},
        {"Gill Sans", {"Cabin", "Linux Biolinum O", "Liberation Sans"}},
        {"Helvetica", {"Nimbus Sans", "Liberation Sans", "DejaVu Sans"}},
        {"Impact", {"Liberation Sans Narrow", "Nimbus Sans Narrow", "DejaVu Sans Condensed"}},
        {"Marker Felt", {"Comic Neue", "Cabin Sketch"}},
        {"Monaco", {"DejaVu Sans Mono", "Liberation Mono", "Nimbus Mono PS"}},
        {"Optima", {"Linux Biolinum O", "Cabin", "DejaVu Sans"}},
        {"Papyrus", {"Linux Libertine O", "URW Bookman", "DejaVu Serif"}},
        {"Skia", {"Linux Biolinum O", "Cabin", "DejaVu Sans"}},
        {"Times New Roman", {"Liberation Serif", "Nimbus Roman", "DejaVu Serif"}},
        {"Trebuchet MS", {"Cabin", "DejaVu Sans", "Liberation Sans"}},
        {"Verdana", {"DejaVu Sans", "Liberation Sans"}},
    };
    return table;
}

// A listed family without its " [Foundry]" suffix.
QString WithoutFoundry(const QString& listed) {
    const qsizetype bracket = listed.indexOf(QStringLiteral(" ["));
    return bracket > 0 && listed.endsWith(QLatin1Char(']')) ? listed.left(bracket) : listed;
}

bool Contains(const QStringList& installed, const QString& family) {
    if (family.isEmpty()) return false;
    for (const QString& listed : installed)
        if (listed == family || WithoutFoundry(listed) == family) return true;
    return false;
}

// The family fontconfig (or the platform) picks for the generic
// sans-serif family, when it is a real installed family.
QString DesktopSansSerif(const QStringList& installed) {
    QFont probe(QStringLiteral("sans-serif"));
    probe.setStyleHint(QFont::SansSerif);
    const QString matched = QFontInfo(probe).family();
    if (Contains(installed, matched)) return matched;
    const QString general = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    return Contains(installed, general) ? general : QString();
}

}  // namespace

const QStringList& LookAlikeFamilies(const QString& name) {
    static const QStringList none;
    const auto it = LookAlikeTable().constFind(name);
    return it == LookAlikeTable().constEnd() ? none : it.value();
}

QString ResolveFontFamilyName(const QString& name) {
    const QStringList installed = QFontDatabase::families();
    if (Contains(installed, name)) return name;
    for (const QString& lookAlike : LookAlikeFamilies(name))
        if (Contains(installed, lookAlike)) return lookAlike;
    const QString sans = DesktopSansSerif(installed);
    if (!sans.isEmpty()) return sans;
    for (const QString& listed : installed)
        if (QFontDatabase::writingSystems(listed).contains(QFontDatabase::Latin))
            return WithoutFoundry(listed);
    return installed.isEmpty() ? QString() : WithoutFoundry(installed.first());
}

QString ResolveFontFamily(int comboIndex) {
    const QStringList& names = FontFamilyNames();
    return ResolveFontFamilyName(comboIndex >= 0 && comboIndex < names.size() ? names[comboIndex]
                                                                              : QString());
}

}  // namespace lumetra
