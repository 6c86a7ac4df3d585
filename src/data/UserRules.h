#pragma once

namespace data {
class DataModule;
}

namespace engine {
class Table;
}

namespace data {

// A user row is stored only with a security profile: without one the logon would let him in
// with no rights, and no administrator's list would show him to be mended.
void requireUserProfile(engine::Table& users);

// An access row must name the user to be seen, and each user only once in one person's list:
// a row naming nobody grants nothing, and two rows for the same user could say "Edit" and not.
void checkAccessRow(DataModule& dm, engine::Table& access);

} // namespace data
