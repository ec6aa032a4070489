# Installs the build into a fresh ROOT: cmake -DBUILD_DIR=... -DROOT=... -P install_tree.cmake
file(REMOVE_RECURSE ${ROOT})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${ROOT}
                COMMAND_ERROR_IS_FATAL ANY)
