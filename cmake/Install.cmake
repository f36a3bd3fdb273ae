# Installing the plug-in, the reference host and the chart library for clients:
#   <prefix>/lib/libStrategyLogic.so.1, libStrategyHost.so.1,
#   libStrategyLogicCharts.so.1 (and links; the chart library finds the
#   plug-in through $ORIGIN)
#   <prefix>/include/StrategyLogic/ (the chart library's headers too),
#   <prefix>/include/StrategyHost/
#   <prefix>/bin/strategyctl (it finds the libraries through $ORIGIN/../lib),
#   its manual page share/man/man1/strategyctl.1 and its bash completion
#   share/bash-completion/completions/strategyctl
#   <prefix>/lib/cmake/StrategyLogic/ (find_package) and
#   <prefix>/lib/pkgconfig/strategylogic.pc and strategylogic-charts.pc
# The build folder is usable without installing, through its own
# StrategyLogicConfig.cmake.

include(CMakePackageConfigHelpers)

# The installed libraries find each other in their own folder, so that a
# client of an install in any prefix starts without LD_LIBRARY_PATH.
set_target_properties(StrategyLogic StrategyHost PROPERTIES INSTALL_RPATH "$ORIGIN")

set(STRATEGYLOGIC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/StrategyLogic)

install(TARGETS StrategyLogic StrategyHost EXPORT StrategyLogicTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/StrategyLogic DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
# The chart library is a component of its own (find_package(StrategyLogic
# COMPONENTS Charts)), so that a client without Qt Gui and Svg finds the
# plug-in all the same.
if(TARGET StrategyLogicCharts)
    install(TARGETS StrategyLogicCharts EXPORT StrategyLogicChartsTargets
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(DIRECTORY charts/include/StrategyLogic DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
    install(EXPORT StrategyLogicChartsTargets NAMESPACE StrategyLogic:: DESTINATION ${STRATEGYLOGIC_CMAKE_DIR})
    export(EXPORT StrategyLogicChartsTargets NAMESPACE StrategyLogic::
           FILE ${CMAKE_CURRENT_BINARY_DIR}/StrategyLogicChartsTargets.cmake)
endif()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/include/StrategyLogic/strategylogic_version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/StrategyLogic)
install(DIRECTORY host/include/StrategyHost DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")

if(TARGET strategyctl)
    file(RELATIVE_PATH libFromBin ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
         ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
    set_target_properties(strategyctl PROPERTIES INSTALL_RPATH "$ORIGIN/${libFromBin}")
    install(TARGETS strategyctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # Its manual page and bash completion script (tools/strategyctl makes
    # them in the build folder).
    if(TARGET strategyctl_docs)
        install(FILES ${CMAKE_BINARY_DIR}/share/man/man1/strategyctl.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
        install(FILES ${CMAKE_BINARY_DIR}/share/bash-completion/completions/strategyctl
                DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
    endif()
endif()

if(TARGET strategydesk)
    set_target_properties(strategydesk PROPERTIES INSTALL_RPATH "$ORIGIN/${libFromBin}")
    install(TARGETS strategydesk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES tools/strategydesk/strategydesk.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES tools/strategydesk/strategydesk.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

install(EXPORT StrategyLogicTargets NAMESPACE StrategyLogic:: DESTINATION ${STRATEGYLOGIC_CMAKE_DIR})
configure_package_config_file(cmake/StrategyLogicConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/StrategyLogicConfig.cmake
                              INSTALL_DESTINATION ${STRATEGYLOGIC_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/StrategyLogicConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/StrategyLogicConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/StrategyLogicConfigVersion.cmake
        DESTINATION ${STRATEGYLOGIC_CMAKE_DIR})

# The build folder as a package of its own (CMAKE_PREFIX_PATH=<build>).
export(EXPORT StrategyLogicTargets NAMESPACE StrategyLogic::
       FILE ${CMAKE_CURRENT_BINARY_DIR}/StrategyLogicTargets.cmake)

# Relocatable: the prefix is found from the file's own place, so that
# `cmake --install --prefix` anywhere gives a working file.
file(RELATIVE_PATH STRATEGYLOGIC_PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
configure_file(cmake/strategylogic.pc.in ${CMAKE_CURRENT_BINARY_DIR}/strategylogic.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/strategylogic.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(TARGET StrategyLogicCharts)
    configure_file(cmake/strategylogic-charts.pc.in ${CMAKE_CURRENT_BINARY_DIR}/strategylogic-charts.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/strategylogic-charts.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
