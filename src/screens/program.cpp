#include "screens/program.h"

namespace tabinowa {

Program::Program(EarlyStart early, const std::vector<std::string>& args, const std::filesystem::path& executableFolder,
                 const std::filesystem::path& userDataFolder, Io& io, Random& random, std::function<void()> endProgram)
    : setup_(endProgram) {
    // The folder is chosen again now that the toolkit has taken its own
    // options from the command line; the lock and the deck begun early are
    // used when it is the same folder, and dropped (the deck waited for,
    // then the lock let go) when it is not.
    const auto folder = setup_.prepare(args, executableFolder, userDataFolder, io, random,
                                       [&](const std::filesystem::path& chosen) {
                                           if (early.started.lock && chosen == early.folder) {
                                               started_ = std::move(early.started);
                                               deck_ = std::move(early.deck);
                                           } else {
                                               if (early.deck.valid()) early.deck.wait();
                                               early.started = StartedFolder{};
                                               started_ = openProgramFolder(io, AppFolders{chosen});
                                           }
                                           return started_.lock.has_value();
                                       });
    if (!folder) return;
    session_.emplace(*folder, io, random);
    session_->startupNotice = started_.notice;
    // The question file is read while the windows are made (when it was not
    // already begun before the toolkit); the main menu takes the deck.
    session_->deckAhead = deck_.valid() ? std::move(deck_) : buildDeckAhead(io, session_->folders, random);
    windows_.emplace(*session_, std::move(endProgram));
    windows_->start();
}

Program::~Program() {
    // A deck begun early and never taken (the start failed after the folder
    // was claimed, or the program ended before the menu took it) reads
    // through the caller's Io: it ends before that does.
    if (deck_.valid()) deck_.wait();
    if (session_ && session_->deckAhead.valid()) session_->deckAhead.wait();
}

}  // namespace tabinowa
