#include "driver/console_texts.h"

#include <string>

#include "driver/console.h"

namespace qj {

namespace {

// "**", a blank and the notice, filled with blanks to 50 characters, then "**".
std::string OwnerLine() {
  std::string content = " ";
  content += kOwnerNotice;
  if (content.size() < 50) content.append(50 - content.size(), ' ');
  content.resize(50);
  return "**" + content + "**\n";
}

}  // namespace

void ShowBanner() {
  Print("\n");
  Print("******************************************************\n");
  Print(OwnerLine());
  Print("** Projekt     : VELMORANT                          **\n");
  Print("** Tool        : QJSQLEXE                           **\n");
  Print("** Beschreibung:  Ausfuehren einer SQL-Anweisung    **\n");
  Print("**                und erstellen einer Downloaddatei **\n");
  Print("**                aus den Resultierenden Daten      **\n");
  Print("******************************************************\n");
  Print("\n");
}

void ShowUsage() {
  Print("Befehlsformat: \n");
  Print("QJSQLEXE.EXE Sektionsname Terminalname Zieldatei 0/1 \n");
  Print("\n");
  Print("Sektionsname = Name der Sektion in der Ini-Datei     \n");
  Print("Terminalname = Parameter fuer das SQL-Statement      \n");
  Print("Zieldatei    = Dateiname der Ausgabedatei            \n");
  Print("RepaceFlag   = 0 = Anhaengen, 1 = Ersetzen          \n");
  Print("\n");
  Print("Beispiel:\n");
  Print("QJSQLEXE.EXE QJDNL31P ZutCtrl qjdnl31p.txt 1\n");
  Print("\n");
}

void ShowHelp() {
  ShowBanner();
  ShowUsage();
  Print("Optionales 5. Wort: /D = jeden Schritt protokollieren\n");
  Print("\n");
  Print("Layoutpruefung ohne Download: QJSQLEXE.EXE --check Sektionsname Terminalname Zieldatei\n");
  Print("\n");
  Print("Exitcodes: 0 fertig, 1 und 2 Befehlszeile, 3 Abbruch, 4 Sektion abgeschaltet,\n");
  Print("5 Datenbankparameter fehlt, 6 Anweisung abgelehnt, 7 Datei nicht geschrieben,\n");
  Print("8 Ausgabe nicht geschrieben, 9 keine Verbindung zur Datenbank,\n");
  Print("10 Layoutpruefung fand ein Problem,\n");
  Print("99 konvertierte Ini-Datei nicht gefunden, 128 + Signal beim Schreiben beendet\n");
  Print("\n");
  Print("Ausfuehrlich: man qjsqlexe\n");
}

void ShowVersion() { Print("qjsqlexe " QJ_VERSION "\n"); }

void ShowErrorFrame(std::initializer_list<std::string_view> messageLines) {
  ShowBanner();
  for (std::string_view line : messageLines) Print(line);
  Print("\n");
  ShowUsage();
}

}  // namespace qj
