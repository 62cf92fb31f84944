#pragma once

namespace qv {

class Qel;

/// The last model step of a synchronisation: removes, whole, every master/detail pair that
/// names a table or field the project no longer has. Fields are checked only on loaded tables:
/// a table not loaded has none to check, and its pairs stay. Pairs go by identity, so that a
/// pair is never mistaken for another of the same names and none is skipped.
void RemoveBrokenMasterDetails(Qel& project);

} // namespace qv
