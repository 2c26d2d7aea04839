// vaskdb: inspect and export Jet 4 (.mdb) databases from the command line.
#include "command.h"

#include <cstdio>
#include <cstring>

namespace vaskdb {

namespace {

const Command kCommands[] = {
    {"tables", "FILE", "elenca le tabelle utente, una per riga, nell'ordine del catalogo",
     runTables},
    {"schema", "FILE [TABLE] [--sql]",
     "mostra colonne (nome, tipo Jet, tipo ADO, dimensione) e indici della tabella, o di ogni "
     "tabella utente se non è indicata; con --sql le scrive come istruzioni CREATE TABLE che "
     "SQLite e PostgreSQL accettano (tipi convertiti, chiavi, indici e chiavi esterne)",
     runSchema},
    {"export", "FILE TABLE [-d SEP] [-H] [-q CAR | -Q] [-D FORMATO] [--format csv|json]",
     "esporta la tabella in CSV (UTF-8, righe in ordine fisico, testi tra virgolette, date "
     "AAAA-MM-GG HH:MM:SS); -d separatore (--delimiter), -H senza intestazione (--no-header), "
     "-q virgolette (--quote), -Q testi senza virgolette (--no-quote), -D formato delle date "
     "con %Y %y %m %d %H %M %S (--date-format), --format json un oggetto JSON per riga",
     runExport},
    {"count", "FILE TABLE", "stampa il numero di righe della tabella", runCount},
    {"import", "FILE TABLE CSV [--dates iso|it] [--numbers iso|it] [-d SEP] [-q CAR]",
     "aggiunge alla tabella le righe di un file CSV con la riga dei nomi delle colonne (abbinati "
     "ai campi senza badare alle maiuscole), in un'unica transazione con ogni regola della "
     "tabella e delle sue relazioni: una riga errata viene indicata col suo numero e non cambia "
     "nulla. Date AAAA-MM-GG (iso, il formato di export) o GG/MM/AAAA (it); numeri col punto "
     "decimale (iso) o con la virgola e i punti delle migliaia (it); un campo vuoto senza "
     "virgolette è Null",
     runImport},
    {"sql", "FILE [STATEMENT]",
     "esegue un'istruzione SQL (SELECT stampa CSV, le altre il numero di righe); senza "
     "istruzione legge le istruzioni dallo standard input, una per riga, in un'unica transazione",
     runSql},
    {"check", "FILE",
     "verifica il database: righe leggibili e contate, mappe delle pagine, valori lunghi, indici, "
     "relazioni con integrità referenziale; "
     "stampa \"ok\" o i problemi trovati (stato di uscita 1)",
     runCheck},
    {"create", "FILE", "crea un database vuoto di Access 2000-2003 (il file non deve esistere)",
     runCreate},
    {"demo", "FILE [--rows N]",
     "crea un database dimostrativo come quello del gestionale (N righe di BUONI, 3000 se non "
     "indicato; le altre tabelle di movimento in proporzione)",
     runDemo},
    {"replace", "FILE TABLE SOURCE",
     "porta la tabella TABLE alle righe della tabella SOURCE in un'unica transazione (righe "
     "abbinate per chiave primaria); stampa quante righe sono state aggiornate, eliminate e "
     "inserite",
     runReplace},
};

void printHelp() {
  std::printf("Uso: vaskdb COMANDO ARGOMENTI\n\nComandi:\n");
  for (const auto &c : kCommands)
    std::printf("  %s %s\n      %s\n", c.name, c.usage, c.summary);
  std::printf("\n  --help\n      mostra questo aiuto\n\n"
              "I dati vanno sullo standard output, i messaggi sullo standard error.\n"
              "Stato di uscita: 0 riuscito, 1 errore, 2 uso errato (comando, opzioni o "
              "argomenti).\n");
}

} // namespace

const Command *findCommand(const std::string &name) {
  for (const auto &c : kCommands)
    if (name == c.name)
      return &c;
  return nullptr;
}

} // namespace vaskdb

int main(int argc, char **argv) {
  using namespace vaskdb;
  if (argc < 2) {
    fail("Manca il comando. Usare vaskdb --help per l'elenco dei comandi.");
    return kUsage;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    printHelp();
    return kOk;
  }
  const Command *cmd = findCommand(name);
  if (!cmd) {
    fail("Comando sconosciuto: \"" + name + "\". Usare vaskdb --help per l'elenco dei comandi.");
    return kUsage;
  }
  return cmd->run(Args(argv + 2, argv + argc));
}
