// Filling the program's file list from a tree made for one case, by the command line or by
// "Dateien hinzufügen" (F3), and what the fill says and lists.
#pragma once
#include <functional>
#include <string>

#include "e2e/support/E2eDriver.h"

namespace e2e {

// The warning for one entry left out.
inline const char kLeftOutOne[] =
    "Es wurde 1 Datei oder Verzeichnis \xFC" "bergangen: sie konnte nicht gelesen werden, oder ihr Pfad ist zu lang "
    "oder nicht darstellbar.";

// Choices of dialog 130 beyond the folder; radio buttons by their control ids.
struct FillChoices {
  const char *plus = "*";
  const char *minus = "";
  bool subDirs = true;
  int writeProtection = 1049;   // 1049 "Egal", 1050 "Nur schreibgeschützte", 1032 "Nicht ..."
  int timeMode = 1053;          // 1053 "Egal", 1040 "Geändert vor", 1041 "Geändert nach", ...
  const char *time = "";
};

struct FillCase {
  const char *label;
  // Makes the case's files below the tree's root; returns the folder to fill from.
  std::function<std::string(TempTree &)> build;
  std::string args;        // the command line after the quoted folder
  FillChoices choices;     // the dialog's choices (the folder is the one build returned)
  std::string warning;     // the "Warnung" box's text; empty: no box may come
  int listed;              // entries listed afterwards
};

// Starts the program with the folder and the case's arguments; checks the warning and the list.
void RunCommandLineFill(const FillCase &c);
// Starts the program on the tree's root, fills through dialog 130 with the case's choices;
// checks the warning and the list.
void RunDialogFill(const FillCase &c);

}  // namespace e2e
