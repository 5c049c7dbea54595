// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "smf.h"

#include <stdexcept>
#include <string>

namespace midigen
{

class NotationError : public std::runtime_error
{
  public:
    NotationError(int line, const std::string& message) : std::runtime_error(message), line_(line)
    {
    }
    int line() const { return line_; }

  private:
    int line_;
};

// Reads a cue in the notation described in README.md; throws NotationError.
MidiFile parseNotation(const std::string& text);

} // namespace midigen
