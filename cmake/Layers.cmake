# The layers of the library and which may use which: the one place the layering is written down.
# From this table come each library's link line, its include root (a folder in the build tree that
# holds the layer and the layers it may use, and nothing else: a header of any other layer is not
# found when compiling) and the include check (cmake/CheckLayers.cmake, run by CTest and by
# scripts/check-layers.sh) that covers src/, tests/, tools/ and bench/.
#
# One row per layer, in dependency order: the folder under src/ (its library is qv_ and the folder's
# last name), the layers it USES directly, and the system LIBS it links. A layer may use the layers
# it names and everything those may use. A row may only name rows above it. The folder must exist
# and hold code: a missing folder fails the configure step.
#
# Adding a layer is one row below the layers it uses, e.g.
#     qv_layer(schema USES project)
# and nothing else: its sources are picked up by glob, an optional CMakeLists.txt in the folder
# holds what else it builds, and its tests in tests/<folder> may include it and what it uses.
# Headers under a folder's internal/ serve that folder and its own tests only.
qv_layer(platform/automation)
qv_layer(platform/system     USES platform/automation)
qv_layer(platform/registry   USES platform/system)
qv_layer(platform/xml        USES platform/system         LIBS PkgConfig::LIBXML2)
qv_layer(platform/host       USES platform/automation)
qv_layer(platform/vbscript   USES platform/automation     LIBS PkgConfig::PCRE2)
qv_layer(platform/sql        USES platform/automation)
qv_layer(platform/ado        USES platform/automation     LIBS PkgConfig::ODBC odbcinst)
qv_layer(platform/dao        USES platform/sql platform/system LIBS PkgConfig::LIBMDB)
qv_layer(platform/zip        USES platform/system         LIBS PkgConfig::LIBZIP)
qv_layer(core                USES platform/registry platform/xml platform/host)
qv_layer(template            USES core platform/vbscript)
qv_layer(model               USES template platform/ado platform/dao)
qv_layer(project             USES model)
qv_layer(generate            USES project platform/zip)
qv_layer(schema              USES project)

# Test helpers shared by the test folders: what they may include. tests/support, tests/db and
# tests/asp (the compile check and the runner of generated ASP pages) are not layers; every test folder may
# include them.
qv_test_helper(support USES core)
qv_test_helper(db      USES platform/ado)
qv_test_helper(asp     USES platform/vbscript platform/ado)

# The programs under tools/: the folder and the layers it USES. A program includes the public
# headers of those layers and of what they may use (its include root in the build tree holds them
# and nothing else) and its own files beside the includer; it links those layers' libraries.
# tools/<folder>/CMakeLists.txt builds it and gives each of its targets the row with qv_tool_target.
qv_tool(quorvane USES generate schema platform/host)
qv_tool(vbs      USES platform/vbscript platform/system)

# Third-party C headers hold handles and macros that must not leak into our interfaces: only a
# layer's internal/ headers and its sources include them.
set(QV_PRIVATE_SYSTEM_HEADERS sql.h sqlext.h sqltypes.h odbcinst.h zip.h iconv.h mdbtools.h libxml/ pcre2.h)
