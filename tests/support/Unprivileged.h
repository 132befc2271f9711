// SPDX-License-Identifier: GPL-3.0-or-later
// Making file permissions bind a test that runs as root. Root reads a file
// without read permission and writes into a read-only folder because of
// two capabilities (overriding and bypassing permission checks), not
// because of its user id: a process that gives them up is held to the
// permission bits like any user, and so is every program it starts.
#pragma once

namespace lumetra::test {

// Gives up the capabilities that let root ignore permission bits, in this
// process and in every program it starts from now on. Call it first thing
// in main, before any thread exists (capabilities belong to threads).
// Does nothing for an ordinary user. True when permission bits now bind
// this process, as a probe file without read permission shows.
bool GiveUpPermissionOverride();

// Whether permission bits bind this process (the probe alone).
bool PermissionBitsBind();

}  // namespace lumetra::test
