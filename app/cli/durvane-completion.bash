# Bash completion for durvane and durvane-gui: the commands, each command's options, and the
# files each takes (.opt, .prj, in any letter case) with the folders that may hold them.

# Completes file names that match the glob patterns given, and folder names.
_durvane_files() {
  local IFS=$'\n' pattern
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -d -- "$cur"))
  for pattern in "$@"; do
    COMPREPLY+=($(compgen -f -X "!$pattern" -- "$cur"))
  done
}

_durvane() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local opt='*.[oO][pP][tT]' prj='*.[pP][rR][jJ]'
  local commands='convert export info merge render help'
  if ((COMP_CWORD == 1)); then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi
  local options_done=0 i
  for ((i = 2; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && options_done=1
  done
  local options files=()
  case ${COMP_WORDS[1]} in
    convert)
      options='-o --output -j --jobs --no-sync --no-wait --help --'
      files=("$opt")
      if ((!options_done)); then
        case $prev in
          -o | --output)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
          -j | --jobs) return ;;
        esac
      fi
      ;;
    export)
      options='--format -o --help --'
      files=("$opt" "$prj")
      if ((!options_done)); then
        case $prev in
          --format)
            COMPREPLY=($(compgen -W 'glb gltf obj' -- "$cur"))
            return
            ;;
          -o)
            _durvane_files '*.[gG][lL][bB]' '*.[gG][lL][tT][fF]' '*.[oO][bB][jJ]'
            return 0
            ;;
        esac
      fi
      ;;
    info)
      options='--json --help --'
      files=("$opt" "$prj")
      ;;
    merge)
      options='--backup --no-sync --no-wait --help --'
      files=("$prj")
      ;;
    render)
      options='--view --yaw --pitch --size --flat -o --help --'
      files=("$opt" "$prj")
      if ((!options_done)); then
        case $prev in
          --view)
            COMPREPLY=($(compgen -W '+x -x +y -y +z -z iso' -- "$cur"))
            return
            ;;
          -o)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.png' -- "$cur"))
            return
            ;;
          --yaw | --pitch | --size) return ;;
        esac
      fi
      ;;
    help)
      ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W "${commands% help}" -- "$cur"))
      return
      ;;
    *) return ;;
  esac
  if ((!options_done)) && [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  _durvane_files "${files[@]}"
}

_durvane_gui() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--help --version --' -- "$cur"))
    return
  fi
  _durvane_files '*.[oO][pP][tT]' '*.[pP][rR][jJ]'
}

complete -F _durvane durvane
complete -F _durvane_gui durvane-gui
