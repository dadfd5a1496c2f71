#pragma once

class QTranslator;

// Installs the interface translation for the system's UI languages, tried in order
// against the catalogues in ":/language/" (de en es fr it ja ko pt ru zh_CN zh_HK
// zh_TW); English when none matches. The translator belongs to the application object.
QTranslator* Translate();
