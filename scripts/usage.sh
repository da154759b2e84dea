# Sourced by each script after its cd: -h or --help prints the script's opening comment.
case ${1:-} in
  -h | --help)
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
    ;;
esac
