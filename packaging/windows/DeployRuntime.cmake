# Run at install time (packaging/windows/CMakeLists.txt sets the variables): copies the plugins into their
# folders beside the programs, then every DLL that the programs and plugins import, and what those import
# in turn, from searchDirs. A DLL found in none of them is one of the system's and stays out.
#   objdump, strip   the target's binutils
#   searchDirs       folders of the Qt and compiler DLLs
#   plugins          Qt plugin files; each goes into the folder named as its own (platforms, styles)
#   programs         file names of the installed programs in destination
# Install scripts run without the project's policies.
cmake_policy(PUSH)
cmake_policy(VERSION 3.25)

set(queue)
foreach(program IN LISTS programs)
    list(APPEND queue "${destination}/${program}")
endforeach()

function(deploy_file source folder)
    get_filename_component(name "${source}" NAME)
    file(INSTALL "${source}" DESTINATION "${folder}")
    if(CMAKE_INSTALL_DO_STRIP AND strip)
        execute_process(COMMAND "${strip}" --strip-unneeded "${folder}/${name}" RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "Cannot strip ${folder}/${name}")
        endif()
    endif()
    set(deployed "${folder}/${name}" PARENT_SCOPE)
endfunction()

foreach(plugin IN LISTS plugins)
    get_filename_component(category "${plugin}" DIRECTORY)
    get_filename_component(category "${category}" NAME)
    deploy_file("${plugin}" "${destination}/${category}")
    list(APPEND queue "${deployed}")
endforeach()

set(seen)
while(queue)
    list(POP_FRONT queue binary)
    execute_process(COMMAND "${objdump}" -p "${binary}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "Cannot read the imports of ${binary} with ${objdump}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
    foreach(import IN LISTS imports)
        string(REGEX REPLACE "^DLL Name: *" "" dll "${import}")
        string(STRIP "${dll}" dll)
        # Windows looks DLLs up without regard to case.
        string(TOLOWER "${dll}" key)
        if(key IN_LIST seen)
            continue()
        endif()
        list(APPEND seen "${key}")
        foreach(dir IN LISTS searchDirs)
            if(EXISTS "${dir}/${dll}")
                deploy_file("${dir}/${dll}" "${destination}")
                list(APPEND queue "${deployed}")
                break()
            endif()
        endforeach()
    endforeach()
endwhile()

cmake_policy(POP)
