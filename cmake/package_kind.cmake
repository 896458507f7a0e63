# Read by cpack before it installs the project for each package it makes.
# The install scripts run in cpack's own process but see none of its
# variables, so the environment tells them whether this package is an
# archive that unpacks anywhere (the tarball), whose files must then be
# named relative to the folder it unpacks into, not by the folder cpack
# stages them in.
if(CPACK_GENERATOR MATCHES "^(TGZ|TXZ|TBZ2|TZST|ZIP|7Z)$")
    set(ENV{PARLINO_RELOCATABLE_PACKAGE} 1)
else()
    unset(ENV{PARLINO_RELOCATABLE_PACKAGE})
endif()
