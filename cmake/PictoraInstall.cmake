# Where an installed Pictora keeps its parts, relative to the prefix. The
# programs find each other and their files from these at run time
# (src/app/ProgramFolders.h), so they must stay relative.
include(GNUInstallDirs)
set(PICTORA_INSTALL_HELPERDIR ${CMAKE_INSTALL_LIBEXECDIR}/pictora)
set(PICTORA_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/pictora)
foreach(dir CMAKE_INSTALL_BINDIR PICTORA_INSTALL_HELPERDIR PICTORA_INSTALL_DATADIR)
    if(IS_ABSOLUTE "${${dir}}")
        message(FATAL_ERROR "${dir} (${${dir}}) must be relative to the prefix")
    endif()
endforeach()

# A program people start: into bin.
function(pictora_install_program target)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# A program only Pictora starts: into the helper folder.
function(pictora_install_helper target)
    install(TARGETS ${target} RUNTIME DESTINATION ${PICTORA_INSTALL_HELPERDIR})
endfunction()
