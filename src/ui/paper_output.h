// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pages on paper: a paper::Document drawn to a PDF file, to the system's
// printer through its print dialog, or into the print preview. The fonts are
// the program's Japanese fonts (IPA P Gothic, IPA P Mincho), embedded in the
// PDF. Qt-free header; the dialogs are the system's own.
#include <filesystem>
#include <functional>
#include <string>

#include "core/paper/page.h"
#include "ui/form.h"

namespace tabinowa::ui {

// Writes the document as a PDF file: to a temporary file beside it, renamed
// over `file` only once whole. Throws FileError (naming the file) when it
// cannot be written; `file` is then as it was.
void writePdf(const paper::Document& doc, const std::filesystem::path& file);

// Draws page `index` into a PNG file at `dpi` (white paper). Throws FileError.
void writePagePng(const paper::Document& doc, std::size_t index, int dpi, const std::filesystem::path& file);

// Opens the system's print dialog over `parent` (modal to the window, it
// returns at once); printing runs when the learner accepts it. `done` gets
// "" once printed or the reason it was not, inside the window's guard.
void printWithDialog(Form& parent, const paper::Document& doc, std::function<void(const std::string&)> done);

// Opens the print preview over `parent`; its own print button prints.
void showPrintPreview(Form& parent, const paper::Document& doc);

// Asks where to save a PDF (the system's file dialog, modal to the window);
// `chosen` gets the path, inside the window's guard, when the learner chose one.
void askPdfFile(Form& parent, const std::string& suggestedName, std::function<void(const std::filesystem::path&)> chosen);

}  // namespace tabinowa::ui
