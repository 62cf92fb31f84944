#pragma once

namespace qv {

/// Registers the schema layer's synchronisation service in the calling apartment, through
/// which the project object checks itself against its database (Qel::CheckDB). The host calls it
/// once per apartment, after the apartment is set up.
void RegisterSchemaServices();

} // namespace qv
