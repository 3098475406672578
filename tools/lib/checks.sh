# Checks that print one line each, for the scripts that test the product (sourced). The script names itself in
# check_label, which starts every line; failures counts the checks that failed.

failures=0

# check DESCRIPTION COMMAND [ARG...]: runs the command and prints "LABEL: ok   DESCRIPTION" when it succeeds,
# "LABEL: FAIL DESCRIPTION" (and counts the failure) when it does not; returns as the command did.
check() {
    if "${@:2}"; then
        echo "$check_label: ok   $1"
    else
        echo "$check_label: FAIL $1"
        failures=$((failures + 1))
        return 1
    fi
}
