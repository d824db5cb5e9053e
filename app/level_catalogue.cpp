#include "app/level_catalogue.h"

namespace gearloft {

namespace {

// The campaigns' titles: main levels first, then bonus levels.
struct Campaign {
    const char* numeral;
    int mainLevels;
    const char* titles[11];
};

constexpr Campaign kCampaigns[] = {
    {"I",
     5,
     {"First Light", "The Long Stair", "Salt Flats", "Cistern Walk", "Open Sky", "Echo Chamber",
      "Mirror Pool", "Copper Lane", "Quiet Vault", "Last Lantern", nullptr}},
    {"II",
     6,
     {"Lowland Ferry", "Mill Race", "Glass Gardens", "The Sluice", "High Terrace", "Stormbreak",
      "Lantern Row", "Paper Bridge", "Hollow Bell", "Tide Pools", "Chalk Hill"}},
    {"III",
     6,
     {"Cinder Yard", "Dry Dock", "Iron Orchard", "Signal Tower", "The Foundry", "Cold Reach",
      "Lamp Room", "Spiral Well", "Coal Chute", "Weather Vane", "Slate Roof"}},
};

constexpr const char* kDeathmatchTitles[14] = {
    "Crossroads",  "Pit Stop", "The Ring", "Twin Courts", "Canal",    "Sawtooth",   "Rooftops",
    "Boiler Room", "Skylight", "Quarry",   "Catwalks",    "Drainage", "Greenhouse", "Observatory"};
constexpr int kDeathmatchBase = 5;  // the rest belong to the extended edition

constexpr const char* kCoopTitles[13] = {
    "Safe Passage",    "Supply Run", "Night Shift", "Relay",     "Outpost",
    "Pumping Station", "Broken Dam", "Watchtower",  "Long Haul", "Cable Car",
    "Reservoir",       "Beacon",     "Homeward"};
constexpr int kCoopBase = 5;

constexpr const char* kEditionSuffix = " (Extended)";

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
                QStringLiteral("Campaign %1 %2 %3 - %4")
                    .arg(QLatin1String(campaign.numeral),
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
        m_rows[row].displayName = QStringLiteral("Deathmatch %1 - %2%3")
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
