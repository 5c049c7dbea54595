# SPDX-License-Identifier: GPL-3.0-or-later
# The sixteen sound cues: MIDI files written by midigen from data/cues, and the loading
# tune, which is a committed mp3 (tools/make-loading-mp3.sh regenerates it).
# Sound N of the game is file N+1; the cue file names start with that file number.
set(QUORVEL_CUES
    01-new-game
    02-answer-accepted
    03-right-answer
    04-defeat
    05-stage-1
    06-stage-2
    07-stage-3
    08-between-games
    09-referendum
    10-fifty-fifty
    11-masters
    12-victory
    13-help
    15-farewell
    16-music-off)

foreach(cue IN LISTS QUORVEL_CUES)
    string(SUBSTRING ${cue} 0 2 number)
    math(EXPR number "${number}")
    set(source ${CMAKE_CURRENT_SOURCE_DIR}/cues/${cue}.txt)
    set(output ${QUORVEL_GAME_DIR}/sounds/${number}.mid)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVEL_GAME_DIR}/sounds
        COMMAND midigen ${source} -o ${output}
        DEPENDS midigen ${source}
        COMMENT "Writing sound ${number}.mid")
    list(APPEND QUORVEL_SOUND_FILES ${output})
endforeach()

add_custom_command(
    OUTPUT ${QUORVEL_GAME_DIR}/sounds/14.mp3
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/sounds/14.mp3
            ${QUORVEL_GAME_DIR}/sounds/14.mp3
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/sounds/14.mp3
    COMMENT "Copying the loading tune")
list(APPEND QUORVEL_SOUND_FILES ${QUORVEL_GAME_DIR}/sounds/14.mp3)
