// vaskdb: inspect and export Jet 4 (.mdb) databases from the command line.
#include "command.h"

#include <cstdio>
#include <cstring>

namespace vaskdb {

namespace {

const Command kCommands[] = {
    {"tables", "FILE", "elenca le tabelle utente, una per riga, nell'ordine del catalogo",
     runTables},
    {"schema", "FILE TABLE", "mostra colonne (nome, tipo Jet, tipo ADO, dimensione) e indici",
     runSchema},
    {"export", "FILE TABLE", "esporta la tabella in CSV (UTF-8, righe in ordine fisico)",
     runExport},
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
              "In caso di errore il messaggio va sullo standard error e lo stato di uscita è 1.\n");
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
  if (argc < 2)
    return fail("Manca il comando. Usare vaskdb --help per l'elenco dei comandi.");
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    printHelp();
    return 0;
  }
  const Command *cmd = findCommand(name);
  if (!cmd)
    return fail("Comando sconosciuto: \"" + name +
                "\". Usare vaskdb --help per l'elenco dei comandi.");
  return cmd->run(Args(argv + 2, argv + argc));
}
