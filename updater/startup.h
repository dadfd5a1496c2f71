#pragma once

#include <QString>

class QTranslator;

// Pieces of the updater's start-up, shared by the program and its tests.

// "<name> Version: <version>(<first 6 of the commit>) Compile at: <y>-<m>-<d> <time>";
// an empty version or commit reads "Unknown".
QString BuildBanner(const QString& application_name, const QString& version, const QString& commit,
                    const QString& build_date_time);
// The banner of this build.
QString BuildBanner(const QString& application_name);

// Registers the updater's resources (style sheets, images, translations). Idempotent.
void InitUpdaterResources();

// Loads the catalogue of the system locale from ":/language" and installs it (also
// when none matched: the texts then stay English). Logged.
QTranslator* LoadUpdaterTranslation();
