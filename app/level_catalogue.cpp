#include "app/level_catalogue.h"

namespace gearloft {

namespace {

// The campaigns' titles: main levels first, then bonus levels.
struct Campaign {
    const char* name;
    int mainLevels;
    const char* titles[11];
};

// Display names: the campaign's name, "Level" or "Bonus", a number, " - "
// and a title; deathmatch levels are arenas. Names are short enough for the
// closed level list to show them whole.
constexpr Campaign kCampaigns[] = {
    {"Ember",
     5,
     {"Dawnbreak", "Long Stair", "Salt Flats", "Cisterns", "Open Sky", "Echoes", "Mirrors",
      "Copperway", "The Vault", "Last Lamp", nullptr}},
    {"Tide",
     6,
     {"Lowlands", "Mill Race", "Gardens", "Sluices", "Terraces", "Squall", "Lanterns", "Paper Way",
      "Bell Hall", "Rockpools", "Chalkpit"}},
    {"Iron",
     6,
     {"Cinders", "Dry Dock", "Orchard", "Signals", "Foundry", "Cold Way", "Lamps", "The Well",
      "Coal Run", "Vanes", "Slates"}},
};

constexpr const char* kDeathmatchTitles[14] = {
    "Crossroads", "Pit Stop", "The Ring", "Twin Courts", "Canal",  "Sawtooth", "Rooftop",
    "Boilers",    "Skylight", "Quarry",   "Catwalk",     "Drains", "Hothouse", "Domes"};
constexpr int kDeathmatchBase = 5;  // the rest belong to the extended edition

constexpr const char* kCoopTitles[13] = {
    "Safe Passage", "Supply Run", "Night Shift", "Relay",     "Outpost", "Pump House", "Broken Dam",
    "Watchtower",   "Long Haul",  "Cable Car",   "Reservoir", "Beacon",  "Homeward"};
constexpr int kCoopBase = 5;

constexpr const char* kEditionSuffix = " (Plus)";

// "dm07", "c2b03": a prefix and a two-digit number.
QString numbered(const QString& prefix, int number) {
    return prefix + QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

}  // namespace

LevelCatalogue::LevelCatalogue() {
    int row = 0;
    int campaignNumber = 1;
    for (const Campaign& campaign : kCampaigns) {
        const int levels = campaign.titles[10] ? 11 : 10;
        for (int i = 0; i < levels; ++i) {
            const bool bonus = i >= campaign.mainLevels;
            const int number = bonus ? i - campaign.mainLevels + 1 : i + 1;
            m_rows[row].displayName =
                QStringLiteral("%1 %2 %3 - %4")
                    .arg(QLatin1String(campaign.name),
                         bonus ? QStringLiteral("Bonus") : QStringLiteral("Level"))
                    .arg(number)
                    .arg(QLatin1String(campaign.titles[i]));
            m_rows[row].stem = numbered(
                QStringLiteral("c%1%2").arg(campaignNumber).arg(bonus ? 'b' : 'l'), number);
            ++row;
        }
        ++campaignNumber;
    }
    for (int i = 0; i < 14; ++i, ++row) {
        m_rows[row].displayName = QStringLiteral("Arena %1 - %2%3")
                                      .arg(i + 1)
                                      .arg(QLatin1String(kDeathmatchTitles[i]))
                                      .arg(i >= kDeathmatchBase ? kEditionSuffix : "");
        m_rows[row].stem = numbered(QStringLiteral("dm"), i + 1);
    }
    for (int i = 0; i < 13; ++i, ++row) {
        m_rows[row].displayName = QStringLiteral("Co-op %1 - %2%3")
                                      .arg(i + 1)
                                      .arg(QLatin1String(kCoopTitles[i]))
                                      .arg(i >= kCoopBase ? kEditionSuffix : "");
        m_rows[row].stem = numbered(QStringLiteral("coop"), i + 1);
    }
    Q_ASSERT(row == kRowCount);
}

QString LevelCatalogue::displayName(int row) const {
    return isValidRow(row) ? m_rows[row].displayName : QString();
}

QString LevelCatalogue::stem(int row) const {
    return isValidRow(row) ? m_rows[row].stem : QString();
}

std::uint32_t LevelCatalogue::defaultEquipment(int row) {
    if (row < 0 || row >= kRowCount) {
        return 0;
    }
    const std::uint32_t common = kPistol | kShoulderCannon | kDisk | kMedicomp;
    switch (row) {
        case 2:
        case 15:
        case 28:
        case 29:
        case 30:
            return common | kGrapplingHook;
        case 4:
            return common | kGrapplingHook | kJetPack;
        case 16:
        case 18:
        case 19:
            return common | kJetPack;
        case 21:
        case 22:
            return common & ~(kDisk | kPistol);
        case 26:
            return common & ~(kDisk | kPistol | kShoulderCannon | kMedicomp);
        default:
            return common;
    }
}

bool LevelCatalogue::isUsableStem(const QString& stem) {
    if (stem.isEmpty() || stem == QLatin1String(".") || stem == QLatin1String("..")) {
        return false;
    }
    for (QChar c : stem) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 ||
            c.unicode() == 0x7F) {
            return false;
        }
    }
    return true;
}

}  // namespace gearloft
